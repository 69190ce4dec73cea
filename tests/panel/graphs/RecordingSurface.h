#pragma once
// A graph surface that remembers what was drawn on it since the last fill.
#include "panel/graphs/GraphSurface.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace panel::test {

struct Dot {
    int x, y;
    Rgb colour;
    bool operator==(const Dot&) const = default;
};

struct Segment {
    int x1, y1, x2, y2;
    Rgb colour;
    bool operator==(const Segment&) const = default;
};

class RecordingSurface final : public GraphSurface {
public:
    void fill(Rgb) override
    {
        ++fills;
        previous = std::move(dots);
        dots.clear();
        lines.clear();
        arcs = 0;
    }
    void point(int x, int y, Rgb colour) override { dots.push_back({x, y, colour}); }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override { lines.push_back({x1, y1, x2, y2, colour}); }
    void arc(int, int, int, double, double, Rgb) override { ++arcs; }

    // The dots drawn at column x, in drawing order.
    std::vector<Dot> at(int x) const { return at(dots, x); }
    static std::vector<Dot> at(const std::vector<Dot>& from, int x)
    {
        std::vector<Dot> out;
        std::copy_if(from.begin(), from.end(), std::back_inserter(out), [x](const Dot& d) { return d.x == x; });
        return out;
    }

    int fills = 0;
    int arcs = 0;
    std::vector<Dot> dots;
    std::vector<Dot> previous; // the dots as they were before the last fill
    std::vector<Segment> lines;
};

} // namespace panel::test
