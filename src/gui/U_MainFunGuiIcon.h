// Icons drawn by the program itself (the schedule table's folders, the search
// buttons' glyphs), drawn afresh at whatever resolution they are shown at, so
// that they stay sharp on a screen scaled by 1.5 or 2.
#pragma once

#include <QIcon>
#include <QSize>
#include <functional>

class QPainter;

// draw paints the icon on a box of design size; it is called with the painter
// scaled to the pixels asked for. A cosmetic pen (width 0) stays one device
// pixel wide at every scale. The disabled and selected looks are the style's,
// made from the drawn pixels. Never larger than the design size.
using TDrawIcon = std::function<void(QPainter& painter)>;
QIcon DrawnIcon(QSize designSize, TDrawIcon draw);
