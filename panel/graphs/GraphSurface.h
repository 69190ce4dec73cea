#pragma once
// The graph's drawing surface: 640 x 480 pixels, x 0..639 left to right, y 0..479 top to
// bottom. The graph logic draws through this interface only; the window shows one backed by
// an image, the tests read that image's pixels.
#include "panel/core/PanelState.h"

namespace panel {

inline constexpr int kSurfaceWidth = 640;
inline constexpr int kSurfaceHeight = 480;

class GraphSurface {
public:
    virtual ~GraphSurface() = default;
    // The whole surface in one colour.
    virtual void fill(Rgb colour) = 0;
    // One pixel; outside the surface nothing is drawn.
    virtual void point(int x, int y, Rgb colour) = 0;
    // A one-pixel line, both end points included.
    virtual void line(int x1, int y1, int x2, int y2, Rgb colour) = 0;
    // An arc of a circle centred on (cx, cy), from angle start to angle end in radians,
    // counter-clockwise from the positive x axis as seen on the screen (y grows downwards, so
    // an angle a lies at (cx + r cos a, cy - r sin a)). end below start passes through 0.
    virtual void arc(int cx, int cy, int radius, double start, double end, Rgb colour) = 0;
    // The width of the lines and points that follow, in pixels (1 unless changed).
    virtual void setPenWidth(int) {}
    // Bring the surface in front of whatever covers it (before a full redraw).
    virtual void toFront() {}
};

} // namespace panel
