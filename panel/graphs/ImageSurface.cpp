#include "ImageSurface.h"

#include "panel/core/Format.h"

#include <QPainter>
#include <QPen>
#include <cmath>

namespace panel {

namespace {

QColor toColor(Rgb c)
{
    return QColor(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
}

constexpr double kTwoPi = 6.283185307179586;

} // namespace

ImageSurface::ImageSurface() : image_(kSurfaceWidth, kSurfaceHeight, QImage::Format_RGB32)
{
    image_.fill(Qt::black);
}

void ImageSurface::fill(Rgb colour)
{
    image_.fill(toColor(colour));
}

void ImageSurface::point(int x, int y, Rgb colour)
{
    for (int dy = 0; dy < width_; ++dy)
        for (int dx = 0; dx < width_; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < kSurfaceWidth && py < kSurfaceHeight)
                image_.setPixel(px, py, 0xFF000000u | (colour & 0xFFFFFFu));
        }
}

void ImageSurface::line(int x1, int y1, int x2, int y2, Rgb colour)
{
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(toColor(colour));
    pen.setWidth(width_);
    pen.setCapStyle(Qt::SquareCap); // the end point is part of the line
    p.setPen(pen);
    p.drawLine(x1, y1, x2, y2);
}

void ImageSurface::arc(int cx, int cy, int radius, double start, double end, Rgb colour)
{
    if (radius <= 0) {
        point(cx, cy, colour);
        return;
    }
    if (!std::isfinite(start) || !std::isfinite(end))
        return;
    while (end < start)
        end += kTwoPi;
    if (end - start > kTwoPi)
        end = start + kTwoPi;
    // Points at most half a pixel apart along the arc: a closed, exact one-pixel trace.
    const double step = 0.5 / double(radius);
    const int n = int(std::ceil((end - start) / step));
    for (int i = 0; i <= n; ++i) {
        const double a = i == n ? end : start + step * i;
        point(int(roundEven(cx + radius * std::cos(a))), int(roundEven(cy - radius * std::sin(a))), colour);
    }
}

Rgb ImageSurface::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= kSurfaceWidth || y >= kSurfaceHeight)
        return 0;
    return Rgb(image_.pixel(x, y) & 0xFFFFFFu);
}

} // namespace panel
