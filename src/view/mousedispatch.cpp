#include "view/mousedispatch.h"

#include "pipeline/dataobject.h"
#include "view/vexlintree.h"

void TVexlinMouseDispatch::Attach(TVexlinTree &tree) {
  TVexlinTree *t = &tree;
  connect(t, &TVexlinTree::mouseMoved, this,
          [this, t](Qt::MouseButtons, Qt::KeyboardModifiers shift, QPoint pos) {
            MouseMove(*t, shift, pos);
          });
  // The remembered row and object die with the rows.
  connect(t, &TVexlinTree::rowsRemoved, this, [this, t] { Forget(t); });
  connect(t, &QObject::destroyed, this, [this, t] { Forget(t); });
}

void TVexlinMouseDispatch::Forget(const TVexlinTree *tree) {
  if (fLastMouseOverVst != tree)
    return;
  fLastMouseOverVst = nullptr;
  fLastMouseOverPvn = nullptr;
  fLastMouseOverPvr = nullptr;
}

void TVexlinMouseDispatch::MouseMove(TVexlinTree &tree, Qt::KeyboardModifiers shift, QPoint pos) {
  TVexlinNode *node = tree.NodeAt(pos);
  TVexlinDataObject *data = node ? node->Data : nullptr;
  if (node != fLastMouseOverPvn) {
    if (fLastMouseOverVst && fLastMouseOverPvn && fLastMouseOverPvr)
      fLastMouseOverPvr->DoMouseLeave(fLastMouseOverVst, fLastMouseOverPvn);
    fLastMouseOverVst = &tree;
    fLastMouseOverPvn = node;
    fLastMouseOverPvr = data;
    if (data)
      data->DoMouseEnter(tree, node, shift, pos.x(), pos.y());
  }
  if (data)
    data->DoMouseMove(tree, node, shift, pos.x(), pos.y());
}
