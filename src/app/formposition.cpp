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

// The area holding `corner`, else the nearest one; null for no areas.
const QRect *NearestArea(QPoint corner, const QList<QRect> &workAreas) {
  const QRect *nearest = nullptr;
  qint64 best = std::numeric_limits<qint64>::max();
  for (const QRect &area : workAreas) {
    const qint64 d = Distance(area, corner);
    if (d < best) {
      best = d;
      nearest = &area;
    }
  }
  return nearest;
}

} // namespace

QRect CorrectedFormRect(const QRect &window, const QList<QRect> &workAreas) {
  const QRect *nearest = NearestArea(window.topLeft(), workAreas);
  if (nearest == nullptr || nearest->contains(window.topLeft()))
    return window; // reachable, or nowhere to go
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

QRect FittedFormRect(const QRect &window, const QList<QRect> &workAreas) {
  const QRect *area = NearestArea(window.topLeft(), workAreas);
  if (area == nullptr)
    return window;
  const QRect &a = *area;
  QRect r(window.topLeft(), window.size().boundedTo(a.size()));
  r.moveLeft(qBound(a.left(), r.left(), a.right() + 1 - r.width()));
  r.moveTop(qBound(a.top(), r.top(), a.bottom() + 1 - r.height()));
  return r;
}

QList<QRect> ScreenWorkAreas() {
  QList<QRect> areas;
  for (const QScreen *screen : QGuiApplication::screens())
    areas << screen->availableGeometry();
  return areas;
}

bool CorrectFormPosition(QWidget *window) {
  const QRect current = window->geometry();
  const QRect corrected = CorrectedFormRect(current, ScreenWorkAreas());
  if (corrected == current)
    return false;
  window->setGeometry(corrected);
  return true;
}
