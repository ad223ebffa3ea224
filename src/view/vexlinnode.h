#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TVexlinDataObject;
struct TVexlinNode;

// Parent and children of a row. Only child rows and rows with children carry
// one, so a plain top-level row stays at 24 bytes.
struct TVexlinNodeLinks {
  TVexlinNodeLinks();
  ~TVexlinNodeLinks();
  TVexlinNode *Parent = nullptr;
  std::vector<std::unique_ptr<TVexlinNode>> Children;
};

// One row of a TVexlinTree. The tree creates, moves and destroys rows; the
// owner reads them and passes them back as handles.
struct TVexlinNode {
  TVexlinDataObject *Data = nullptr; // the one object the row shows
  std::unique_ptr<TVexlinNodeLinks> Links;
  int32_t Height = 0; // measured, or an estimate while unmeasured
  uint8_t Epoch = 0;  // measured when equal to the tree's measuring epoch
  bool Expanded = false;

  TVexlinNode *Parent() const { return Links ? Links->Parent : nullptr; }
  size_t ChildCount() const { return Links ? Links->Children.size() : 0; }
  TVexlinNode *Child(size_t i) const { return Links->Children[i].get(); }
  bool HasChildren() const { return ChildCount() > 0; }
};
