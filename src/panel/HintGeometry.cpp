#include "panel/HintGeometry.h"

#include <algorithm>

std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

Point HintPosition(const Rect& control, Size box, const Rect& screen) {
    Point at{control.left, control.bottom() + 6};
    if (at.x + box.width > screen.right()) at.x = screen.right() - box.width;
    if (at.y + box.height > screen.bottom()) at.y = screen.bottom() - box.height;
    at.x = std::max(at.x, screen.left);
    at.y = std::max(at.y, screen.top);
    return at;
}
