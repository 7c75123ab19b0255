#pragma once
// Where the player window may stand: positions within 15 pixels of the work area's limits
// snap onto them. The bottom and right limits use the work area's height and width (not its
// bottom and right edges), as the window has always done.

#include <QPoint>
#include <QRect>
#include <QSize>

// workArea: left L, top T, width WW, height WH; window: the player's size W x H.
QPoint SnapPosition(QPoint proposed, QRect workArea, QSize window);

// A saved position that would leave the window wholly outside the work area (a monitor that is
// gone) is pulled back to the nearest edge; any position that shows part of it stays.
QPoint PullIntoWorkArea(QPoint saved, QRect workArea, QSize window);
