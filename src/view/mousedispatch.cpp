#include "view/mousedispatch.h"

#include "pipeline/dataobject.h"
#include "view/vexlintree.h"

#include <QEvent>

void TVexlinMouseDispatch::Attach(TVexlinTree &tree) {
  TVexlinTree *t = &tree;
  connect(t, &TVexlinTree::mouseMoved, this,
          [this, t](Qt::MouseButtons, Qt::KeyboardModifiers shift, QPoint pos) {
            MouseMove(*t, shift, pos);
          });
  // The remembered row and object die with the rows.
  connect(t, &TVexlinTree::rowsRemoved, this, [this, t] { Forget(t); });
  connect(t, &QObject::destroyed, this, [this, t] { Forget(t); });
  connect(t, &TVexlinTree::doubleClicked, this, [this, t] { LeaveRow(t); });
  connect(t, &TVexlinTree::columnResized, this, [this, t] { LeaveRow(t); });
  connect(t, &TVexlinTree::resized, this, [this, t] { LeaveRow(t); });
  t->viewport()->installEventFilter(this);
}

bool TVexlinMouseDispatch::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Leave && fLastMouseOverVst &&
      watched == fLastMouseOverVst->viewport())
    LeaveRow(fLastMouseOverVst);
  return false;
}

void TVexlinMouseDispatch::LeaveRow(const TVexlinTree *tree) {
  if (fLastMouseOverVst != tree || !tree)
    return;
  TVexlinTree *view = fLastMouseOverVst;
  TVexlinNode *node = fLastMouseOverPvn;
  TVexlinDataObject *data = fLastMouseOverPvr;
  Forget(tree);
  if (node && data)
    data->DoMouseLeave(view, node);
}

void TVexlinMouseDispatch::Forget(const TVexlinTree *tree) {
  if (fLastMouseOverVst != tree)
    return;
  fLastMouseOverVst = nullptr;
  fLastMouseOverPvn = nullptr;
  fLastMouseOverPvr = nullptr;
  fLastPlace = QRect();
}

void TVexlinMouseDispatch::MouseMove(TVexlinTree &tree, Qt::KeyboardModifiers shift, QPoint pos) {
  // Hit-testing uses the row kinds' layout, which another list may have set.
  tree.ApplyLayout();
  TVexlinNode *node = tree.NodeAt(pos);
  TVexlinDataObject *data = node ? node->Data : nullptr;
  const QRect place =
      node ? tree.NodeCellRect(node, tree.IsHeaderVisible() ? DataColumn : NoColumn) : QRect();
  // The same row at another place (the list scrolled under a resting mouse,
  // a column or the window changed size) is entered afresh: the objects keep
  // the cell they were entered at.
  if (node != fLastMouseOverPvn || &tree != fLastMouseOverVst || place != fLastPlace) {
    if (fLastMouseOverVst && fLastMouseOverPvn && fLastMouseOverPvr)
      fLastMouseOverPvr->DoMouseLeave(fLastMouseOverVst, fLastMouseOverPvn);
    fLastMouseOverVst = &tree;
    fLastMouseOverPvn = node;
    fLastMouseOverPvr = data;
    fLastPlace = place;
    if (data)
      data->DoMouseEnter(tree, node, shift, pos.x(), pos.y());
  }
  if (data)
    data->DoMouseMove(tree, node, shift, pos.x(), pos.y());
}
