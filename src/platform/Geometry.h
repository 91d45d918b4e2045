// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>

namespace pio {

// Plain integer geometry in panel (logical) pixels.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(Size a, Size b) { return a.width == b.width && a.height == b.height; }
};

// A rectangle covers the points left..left+width-1 and top..top+height-1.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }   // one past the last column
    int bottom() const { return top + height; }  // one past the last row
    bool empty() const { return width <= 0 || height <= 0; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right() && p.y >= top && p.y < bottom();
    }
    bool Intersects(const Rect& o) const { return !Intersected(o).empty(); }
    Rect Intersected(const Rect& o) const {
        const int l = std::max(left, o.left);
        const int t = std::max(top, o.top);
        const int r = std::min(right(), o.right());
        const int b = std::min(bottom(), o.bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    // Smallest rectangle holding both; an empty side is ignored.
    Rect United(const Rect& o) const {
        if (empty()) return o;
        if (o.empty()) return *this;
        const int l = std::min(left, o.left);
        const int t = std::min(top, o.top);
        return {l, t, std::max(right(), o.right()) - l, std::max(bottom(), o.bottom()) - t};
    }
    friend bool operator==(const Rect& a, const Rect& b) {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
    }
};

}  // namespace pio
