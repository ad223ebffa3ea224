#include "app/arpsnapshotview.h"

#include "view/vexlinnode.h"
#include "view/vexlintree.h"

namespace {

TVexlinNode *AddRows(TVexlinTree &tree, TVexlinNode *parent, TArpSnapshotRow &row) {
  TVexlinDataObject *data = row.Data.get();
  data->ParentVDT = &tree;
  TVexlinNode *node = tree.AddChild(parent, data);
  row.Data.release(); // the list owns it now
  for (TArpSnapshotRow &child : row.Children)
    AddRows(tree, node, child);
  tree.SetExpanded(node, row.Expanded);
  return node;
}

} // namespace

TVexlinNode *AddArpSnapshotRows(TVexlinTree &tree, TArpSnapshotRow &top) {
  TVexlinTreeUpdate update(tree);
  return AddRows(tree, nullptr, top);
}
