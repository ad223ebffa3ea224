#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <Qt>

class TVexlinTree;
class TVexlinDataObject;
struct TVexlinNode;

// Passes mouse moves over the lists on to the rows' objects: leave for the
// row the mouse was last over, enter for the new one, then move. One
// dispatcher serves every list of a window, so leaving a row of one list for
// a row of another is seen as well.
class TVexlinMouseDispatch : public QObject {
  Q_OBJECT
public:
  explicit TVexlinMouseDispatch(QObject *parent = nullptr) : QObject(parent) {}

  // Routes the tree's mouse moves through this dispatcher.
  void Attach(TVexlinTree &tree);
  void MouseMove(TVexlinTree &tree, Qt::KeyboardModifiers shift, QPoint pos);
  // Forgets the last row when it belonged to `tree` (its rows were removed).
  void Forget(const TVexlinTree *tree);
  // Leaves the last row when it belongs to `tree`, as a move off it would:
  // its object removes the byte frame and hides the information window. For
  // whatever moves the bytes or covers them under a mouse that stays put (a
  // column change, a double click opening a window, the mouse leaving the
  // list), so that the next move starts afresh.
  void LeaveRow(const TVexlinTree *tree);

  TVexlinTree *LastMouseOverVst() const { return fLastMouseOverVst; }
  TVexlinNode *LastMouseOverPvn() const { return fLastMouseOverPvn; }
  TVexlinDataObject *LastMouseOverPvr() const { return fLastMouseOverPvr; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  TVexlinTree *fLastMouseOverVst = nullptr;
  TVexlinNode *fLastMouseOverPvn = nullptr;
  TVexlinDataObject *fLastMouseOverPvr = nullptr;
  QRect fLastPlace; // the cell of the row the mouse was last over
};
