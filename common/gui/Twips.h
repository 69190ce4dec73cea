#pragma once
// Window positions and sizes given in twips (1/1440 inch), as pixels on this screen.
#include <QWidget>

namespace common {

inline int twipsToPixels(int twips, const QWidget* w = nullptr)
{
    const qreal dpi = (w && w->logicalDpiY() > 0) ? w->logicalDpiY() : 96;
    return int(twips * dpi / 1440.0 + (twips < 0 ? -0.5 : 0.5));
}

} // namespace common
