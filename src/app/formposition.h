#pragma once

#include <QList>
#include <QRect>

class QWidget;

// Where a window must go so that it can be reached: a window whose top-left
// corner lies on no monitor is pulled onto the work area of the nearest one
// (onto its left/top edge from the left/top, 20 pixels inside from the
// right/bottom), keeping its size. Returns the rectangle unchanged when it
// is reachable already.
QRect CorrectedFormRect(const QRect &window, const QList<QRect> &workAreas);

// A saved window rectangle fitted to the work area it belongs to (the one
// holding its top-left corner, else the nearest): a window larger than the
// area takes the area's size, and it is moved so that all of it lies on the
// area. Unchanged when there are no areas.
QRect FittedFormRect(const QRect &window, const QList<QRect> &workAreas);

// The work areas of all screens.
QList<QRect> ScreenWorkAreas();

// Moves a window by CorrectedFormRect over the screens it can use; true
// when it was moved.
bool CorrectFormPosition(QWidget *window);
