#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// How many pixels of `area` in `image` are the pure red a damaged byte's
// frame is drawn in.
inline int RedPixels(const QImage &image, const QRect &area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      n += image.pixelColor(x, y) == QColor(255, 0, 0);
  return n;
}
