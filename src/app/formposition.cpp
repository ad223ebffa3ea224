#include "app/formposition.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <limits>

namespace {

// Squared distance from a point to a rectangle (0 inside).
qint64 Distance(const QRect &r, QPoint p) {
  const qint64 dx = p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
  const qint64 dy = p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
  return dx * dx + dy * dy;
}

} // namespace

QRect CorrectedFormRect(const QRect &window, const QList<QRect> &workAreas) {
  if (workAreas.isEmpty())
    return window;
  const QPoint corner = window.topLeft();
  const QRect *nearest = nullptr;
  qint64 best = std::numeric_limits<qint64>::max();
  for (const QRect &area : workAreas) {
    const qint64 d = Distance(area, corner);
    if (d == 0)
      return window; // reachable
    if (d < best) {
      best = d;
      nearest = &area;
    }
  }
  QRect r = window;
  const QRect &a = *nearest;
  if (a.left() > r.left())
    r.moveLeft(a.left());
  else if (a.right() < r.left())
    r.moveLeft(a.right() - 20);
  if (a.top() > r.top())
    r.moveTop(a.top());
  else if (a.bottom() < r.top())
    r.moveTop(a.bottom() - 20);
  return r;
}

bool CorrectFormPosition(QWidget *window) {
  QList<QRect> areas;
  for (const QScreen *screen : QGuiApplication::screens())
    areas << screen->availableGeometry();
  const QRect current = window->geometry();
  const QRect corrected = CorrectedFormRect(current, areas);
  if (corrected == current)
    return false;
  window->setGeometry(corrected);
  return true;
}
