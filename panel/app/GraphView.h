#pragma once
// Picture1: the graph's 640 x 480 surface on the screen. The image is shown pixel for pixel at
// 640 x 480 logical pixels; on a high-resolution screen each pixel becomes a block of device
// pixels (no smoothing), so lines and points stay sharp.
#include "panel/graphs/ImageSurface.h"

#include <QWidget>
#include <functional>

class GraphView : public QWidget {
    Q_OBJECT
public:
    GraphView(const panel::ImageSurface& surface, QWidget* parent);

    std::function<void()> doubleClicked;
    std::function<void(const QPoint& global)> rightClicked;

    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    const panel::ImageSurface& surface_;
};
