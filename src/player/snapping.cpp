#include "player/snapping.h"

#include <algorithm>

QPoint SnapPosition(QPoint proposed, QRect workArea, QSize window) {
  const int L = workArea.left(), T = workArea.top();
  const int WW = workArea.width(), WH = workArea.height();
  const int W = window.width(), H = window.height();
  int x = proposed.x(), y = proposed.y();
  // 1. left   2. top   3. bottom   4. right -- in this order, strict comparisons.
  if (x < L + 15) x = L;
  if (y < T + 15) y = T;
  if (y > WH - H - 15) y = WH - H;
  if (x > WW - W - 15) x = WW - W;
  return {x, y};
}

QPoint PullIntoWorkArea(QPoint saved, QRect workArea, QSize window) {
  const QRect placed(saved, window);
  if (placed.intersects(workArea)) return saved;
  const int x = std::clamp(saved.x(), workArea.left(),
                           std::max(workArea.left(), workArea.right() + 1 - window.width()));
  const int y = std::clamp(saved.y(), workArea.top(),
                           std::max(workArea.top(), workArea.bottom() + 1 - window.height()));
  return {x, y};
}
