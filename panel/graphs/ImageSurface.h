#pragma once
// A graph surface backed by a 640 x 480 image, drawn without antialiasing so every pixel is
// exact. The window shows image(); tests read pixel().
#include "GraphSurface.h"

#include <QImage>

namespace panel {

class ImageSurface final : public GraphSurface {
public:
    ImageSurface();

    void fill(Rgb colour) override;
    void point(int x, int y, Rgb colour) override;
    void line(int x1, int y1, int x2, int y2, Rgb colour) override;
    void arc(int cx, int cy, int radius, double start, double end, Rgb colour) override;
    void setPenWidth(int width) override { width_ = width < 1 ? 1 : width; }

    const QImage& image() const { return image_; }
    // The colour at (x, y) as 0xRRGGBB; 0 outside the surface.
    Rgb pixel(int x, int y) const;

private:
    QImage image_;
    int width_ = 1;
};

} // namespace panel
