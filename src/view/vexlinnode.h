#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TVexlinDataObject;
struct TVexlinNode;
struct TVexlinChildNode;

// Parent and children of a row. A plain top-level row has none and carries
// no trace of them.
struct TVexlinNodeLinks {
  TVexlinNodeLinks();
  ~TVexlinNodeLinks();
  TVexlinNode *Parent = nullptr;
  std::vector<std::unique_ptr<TVexlinChildNode>> Children;
};

// One row of a TVexlinTree. The tree creates, moves and destroys rows; the
// owner reads them and passes them back as handles.
struct TVexlinNode {
  TVexlinDataObject *Data = nullptr; // the one object the row shows
  int32_t Height = 0;                // measured, or an estimate while unmeasured
  uint8_t Epoch = 0;                 // measured when equal to the tree's measuring epoch
  bool Expanded = false;
  bool Hidden = false; // filtered out: no height, not drawn

  TVexlinNode *Parent() const;
  size_t ChildCount() const;
  TVexlinNode *Child(size_t i) const;
  bool HasChildren() const { return ChildCount() > 0; }

private:
  friend class TVexlinRows;
  enum class TLinkKind : uint8_t {
    None,   // a top-level row without children
    Inline, // a child row: a TVexlinChildNode holding its links itself
    Shared, // a top-level row with children: links in a table keyed by address
  };
  // The links of a top-level row whose kind is Shared.
  static const TVexlinNodeLinks &SharedLinks(const TVexlinNode *node);
  const TVexlinNodeLinks *Links() const;

  TLinkKind fLinkKind = TLinkKind::None;
};

// A child row; only TVexlinRows creates them.
struct TVexlinChildNode : TVexlinNode {
  TVexlinNodeLinks ChildLinks;
};

// Almost every row is a plain top-level row, so its size is the view's cost
// per row.
static_assert(sizeof(TVexlinNode) == 16);

inline const TVexlinNodeLinks *TVexlinNode::Links() const {
  switch (fLinkKind) {
  case TLinkKind::Inline:
    return &static_cast<const TVexlinChildNode *>(this)->ChildLinks;
  case TLinkKind::Shared:
    return &SharedLinks(this);
  case TLinkKind::None:
    break;
  }
  return nullptr;
}

inline TVexlinNode *TVexlinNode::Parent() const {
  return fLinkKind == TLinkKind::Inline
             ? static_cast<const TVexlinChildNode *>(this)->ChildLinks.Parent
             : nullptr;
}

inline size_t TVexlinNode::ChildCount() const {
  const TVexlinNodeLinks *links = Links();
  return links ? links->Children.size() : 0;
}

inline TVexlinNode *TVexlinNode::Child(size_t i) const {
  return Links()->Children[i].get();
}
