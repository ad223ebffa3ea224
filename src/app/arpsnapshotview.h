#pragma once

#include "netutils/arpsnapshot.h"

class TVexlinTree;
struct TVexlinNode;

// Adds the snapshot's rows to the list as a new top-level group, expanded as
// the rows ask; the list owns their objects from now on. Returns the group's
// top row.
TVexlinNode *AddArpSnapshotRows(TVexlinTree &tree, TArpSnapshotRow &top);
