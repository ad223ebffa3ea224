#include "view/vexlinrows.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

TVexlinNodeLinks::TVexlinNodeLinks() = default;
TVexlinNodeLinks::~TVexlinNodeLinks() = default;

namespace {

// The links of the top-level rows that have children, of every TVexlinRows:
// a row has room only for its kind, and must find its links by itself. Rows
// of different lists may live on different threads, hence the lock; a list
// changes only its own entries, whose addresses stay put while others come
// and go.
struct TSharedLinkTable {
  std::mutex Mutex;
  std::unordered_map<const TVexlinNode *, TVexlinNodeLinks> Links;
};

// Never destroyed: rows of static lists may release their links at exit.
TSharedLinkTable &SharedTable() {
  static auto *table = new TSharedLinkTable;
  return *table;
}

} // namespace

const TVexlinNodeLinks &TVexlinNode::SharedLinks(const TVexlinNode *node) {
  TSharedLinkTable &table = SharedTable();
  std::lock_guard lock(table.Mutex);
  return table.Links.find(node)->second;
}

TVexlinRows::TVexlinRows(int defaultHeight) : fDefaultHeight(defaultHeight) {}

TVexlinRows::~TVexlinRows() {
  for (size_t r = 0; fSharedCount > 0 && r < fCount; ++r)
    ReleaseSharedLinks(*At(r));
}

TVexlinNodeLinks &TVexlinRows::MutableLinks(TVexlinNode &node) {
  using Kind = TVexlinNode::TLinkKind;
  if (node.fLinkKind == Kind::Inline)
    return static_cast<TVexlinChildNode &>(node).ChildLinks;
  TSharedLinkTable &table = SharedTable();
  std::lock_guard lock(table.Mutex);
  if (node.fLinkKind == Kind::Shared)
    return table.Links.find(&node)->second;
  node.fLinkKind = Kind::Shared;
  ++fSharedCount;
  return table.Links[&node];
}

void TVexlinRows::ReleaseSharedLinks(TVexlinNode &node) {
  if (node.fLinkKind != TVexlinNode::TLinkKind::Shared)
    return;
  node.fLinkKind = TVexlinNode::TLinkKind::None;
  --fSharedCount;
  TSharedLinkTable &table = SharedTable();
  decltype(table.Links)::node_type entry;
  {
    std::lock_guard lock(table.Mutex);
    entry = table.Links.extract(&node);
  }
  // The children are destroyed here, outside the lock.
}

void TVexlinRows::MoveSharedLinks(const TVexlinNode &from, TVexlinNode &to) {
  TSharedLinkTable &table = SharedTable();
  std::lock_guard lock(table.Mutex);
  auto entry = table.Links.extract(&from);
  entry.key() = &to;
  for (const auto &child : entry.mapped().Children)
    child->ChildLinks.Parent = &to;
  table.Links.insert(std::move(entry));
}

TVexlinNode *TVexlinRows::NewTopSlot() {
  const size_t chunk = fCount >> kChunkShift;
  if (chunk == fChunks.size()) {
    fChunks.push_back(std::make_unique<TVexlinNode[]>(kChunkRows));
    fChunkByAddress.emplace(reinterpret_cast<uintptr_t>(fChunks.back().get()), chunk);
  }
  return &fChunks[chunk][fCount++ & (kChunkRows - 1)];
}

TVexlinNode *TVexlinRows::Append(TVexlinDataObject *data) {
  TVexlinNode *node = NewTopSlot();
  node->Data = data;
  node->Height = fDefaultHeight;
  node->Epoch = 0;
  node->Expanded = false;
  node->Hidden = fFilter && !fFilter(*node);
  fIndex.Append(Extent(*node));
  return node;
}

TVexlinNode *TVexlinRows::AddChild(TVexlinNode *parent, TVexlinDataObject *data) {
  if (!parent)
    return Append(data);
  auto child = std::make_unique<TVexlinChildNode>();
  child->fLinkKind = TVexlinNode::TLinkKind::Inline;
  child->ChildLinks.Parent = parent;
  child->Data = data;
  child->Height = fDefaultHeight;
  child->Hidden = fFilter && !fFilter(*child);
  TVexlinNode *result = child.get();
  TVexlinNode &root = *Root(*parent);
  const int64_t before = Extent(root);
  MutableLinks(*parent).Children.push_back(std::move(child));
  ++fChildCount;
  // A kept child brings its filtered-out ancestors back.
  for (TVexlinNode *p = result->Hidden ? nullptr : parent; p && p->Hidden; p = p->Parent())
    p->Hidden = false;
  ChangeExtent(root, Extent(root) - before);
  return result;
}

TVexlinNode *TVexlinRows::At(size_t index) const {
  if (index >= fCount)
    return nullptr;
  return &fChunks[index >> kChunkShift][index & (kChunkRows - 1)];
}

ptrdiff_t TVexlinRows::TopIndex(const TVexlinNode *node) const {
  const auto address = reinterpret_cast<uintptr_t>(node);
  auto it = fChunkByAddress.upper_bound(address);
  if (it == fChunkByAddress.begin())
    return -1;
  --it;
  const uintptr_t offset = address - it->first;
  if (offset >= kChunkRows * sizeof(TVexlinNode) || offset % sizeof(TVexlinNode) != 0)
    return -1;
  const size_t index = it->second * kChunkRows + offset / sizeof(TVexlinNode);
  return index < fCount ? static_cast<ptrdiff_t>(index) : -1;
}

ptrdiff_t TVexlinRows::IndexOf(const TVexlinNode *node) const {
  if (!node)
    return -1;
  const TVexlinNode *parent = node->Parent();
  if (!parent)
    return TopIndex(node);
  const auto &children = parent->Links()->Children;
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i].get() == node)
      return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

TVexlinNode *TVexlinRows::Root(const TVexlinNode &node) const {
  const TVexlinNode *n = &node;
  while (n->Parent())
    n = n->Parent();
  return const_cast<TVexlinNode *>(n);
}

bool TVexlinRows::Contains(const TVexlinNode *node) const {
  return node && TopIndex(Root(*node)) >= 0;
}

int TVexlinRows::Depth(const TVexlinNode *node) const {
  int depth = 0;
  for (const TVexlinNode *p = node ? node->Parent() : nullptr; p; p = p->Parent())
    ++depth;
  return depth;
}

bool TVexlinRows::IsVisible(const TVexlinNode &node) const {
  if (node.Hidden)
    return false;
  for (const TVexlinNode *p = node.Parent(); p; p = p->Parent()) {
    if (!p->Expanded || p->Hidden)
      return false;
  }
  return true;
}

int64_t TVexlinRows::Extent(const TVexlinNode &node) const {
  if (node.Hidden)
    return 0;
  int64_t extent = node.Height;
  if (node.Expanded) {
    for (size_t i = 0; i < node.ChildCount(); ++i)
      extent += Extent(*node.Child(i));
  }
  return extent;
}

void TVexlinRows::ChangeExtent(const TVexlinNode &node, int64_t delta) {
  const ptrdiff_t top = TopIndex(Root(node));
  if (top >= 0)
    fIndex.Add(static_cast<size_t>(top), delta);
}

void TVexlinRows::SetHeight(TVexlinNode &node, int height) {
  const int64_t delta = int64_t(height) - node.Height;
  node.Height = height;
  if (delta != 0 && IsVisible(node))
    ChangeExtent(node, delta);
}

bool TVexlinRows::Measure(TVexlinNode &node) {
  if (node.Epoch == fEpoch)
    return false;
  const int height = std::max(0, fMeasurer ? fMeasurer(node) : fDefaultHeight);
  node.Epoch = fEpoch;
  if (height == node.Height)
    return false;
  SetHeight(node, height);
  return true;
}

void TVexlinRows::MarkAllUnmeasured() {
  if (++fEpoch != 0)
    return;
  // The epoch wrapped: old marks could look current, so clear them all.
  ForEachNode([](TVexlinNode &n) { n.Epoch = 0; });
  fEpoch = 1;
}

size_t TVexlinRows::MeasureRange(size_t from, size_t limit) {
  const size_t end = std::min(fCount, from + limit);
  // Deltas of plain rows are summed per block: one index update per block.
  TBlockedHeightChanges changes(fIndex);
  for (size_t r = from; r < end; ++r) {
    TVexlinNode &node = *At(r);
    if (node.fLinkKind != TVexlinNode::TLinkKind::None) {
      Measure(node);
      std::function<void(TVexlinNode &)> children = [&](TVexlinNode &n) {
        for (size_t i = 0; i < n.ChildCount(); ++i) {
          Measure(*n.Child(i));
          children(*n.Child(i));
        }
      };
      children(node);
      continue;
    }
    if (node.Epoch == fEpoch)
      continue;
    const int height = std::max(0, fMeasurer ? fMeasurer(node) : fDefaultHeight);
    node.Epoch = fEpoch;
    if (!node.Hidden)
      changes.Add(r, height - node.Height);
    node.Height = height;
  }
  return end;
}

void TVexlinRows::SetExpanded(TVexlinNode &node, bool expanded) {
  if (node.Expanded == expanded)
    return;
  int64_t children = 0;
  for (size_t i = 0; i < node.ChildCount(); ++i)
    children += Extent(*node.Child(i));
  node.Expanded = expanded;
  if (children != 0 && IsVisible(node))
    ChangeExtent(node, expanded ? children : -children);
}

int64_t TVexlinRows::Top(const TVexlinNode &node) const {
  if (!IsVisible(node))
    return -1;
  std::vector<const TVexlinNode *> path; // node .. root
  for (const TVexlinNode *n = &node; n; n = n->Parent())
    path.push_back(n);
  const ptrdiff_t rootIndex = TopIndex(path.back());
  if (rootIndex < 0)
    return -1;
  const size_t block = static_cast<size_t>(rootIndex) / TRowHeightIndex::kBlockRows;
  int64_t y = fIndex.BlockTop(block);
  for (size_t r = block * TRowHeightIndex::kBlockRows; r < static_cast<size_t>(rootIndex); ++r)
    y += Extent(*At(r));
  for (size_t k = path.size() - 1; k > 0; --k) {
    const TVexlinNode *current = path[k];
    const TVexlinNode *next = path[k - 1];
    y += current->Height;
    for (size_t i = 0; i < current->ChildCount() && current->Child(i) != next; ++i)
      y += Extent(*current->Child(i));
  }
  return y;
}

TVexlinNode *TVexlinRows::AtY(int64_t y, int64_t *top) const {
  if (y < 0 || y >= fIndex.Total())
    return nullptr;
  int64_t rowTop = 0;
  size_t r = fIndex.BlockAt(y, rowTop) * TRowHeightIndex::kBlockRows;
  TVexlinNode *node = nullptr;
  for (; r < fCount; ++r) {
    const int64_t extent = Extent(*At(r));
    if (y < rowTop + extent) {
      node = At(r);
      break;
    }
    rowTop += extent;
  }
  while (node && y >= rowTop + node->Height) {
    rowTop += node->Height;
    TVexlinNode *inside = nullptr;
    for (size_t i = 0; i < node->ChildCount(); ++i) {
      const int64_t extent = Extent(*node->Child(i));
      if (y < rowTop + extent) {
        inside = node->Child(i);
        break;
      }
      rowTop += extent;
    }
    node = inside;
  }
  if (node && top)
    *top = rowTop;
  return node;
}

TVexlinNode *TVexlinRows::NextVisible(const TVexlinNode &node) const {
  const TVexlinNode *current = &node;
  bool descend = true;
  for (;;) {
    TVexlinNode *next = nullptr;
    if (descend && current->Expanded && current->HasChildren()) {
      next = current->Child(0);
    } else {
      // The next sibling of the row or of its nearest ancestor that has one.
      while (const TVexlinNode *parent = current->Parent()) {
        const ptrdiff_t i = IndexOf(current);
        if (i >= 0 && static_cast<size_t>(i) + 1 < parent->ChildCount()) {
          next = parent->Child(static_cast<size_t>(i) + 1);
          break;
        }
        current = parent;
      }
      if (!next) {
        // Long runs of filtered-out top-level rows are skipped through the index.
        const ptrdiff_t i = TopIndex(current);
        return i >= 0 ? ShownTopFrom(static_cast<size_t>(i) + 1) : nullptr;
      }
    }
    if (!next->Hidden)
      return next;
    current = next;
    descend = false;
  }
}

TVexlinNode *TVexlinRows::ShownTopFrom(size_t from) const {
  const size_t kBlock = TRowHeightIndex::kBlockRows;
  size_t r = from;
  for (; r < fCount && r % kBlock != 0; ++r)
    if (Extent(*At(r)) > 0)
      return At(r);
  if (r >= fCount)
    return nullptr;
  // The block holding the first position at or after the start of r's block.
  const int64_t y = fIndex.BlockTop(r / kBlock);
  if (y >= fIndex.Total())
    return nullptr;
  int64_t blockTop = 0;
  for (r = std::max(r, fIndex.BlockAt(y, blockTop) * kBlock); r < fCount; ++r)
    if (Extent(*At(r)) > 0)
      return At(r);
  return nullptr;
}

bool TVexlinRows::FilterTree(TVexlinNode &node) {
  bool shown = !fFilter || fFilter(node);
  for (size_t i = 0; i < node.ChildCount(); ++i)
    shown = FilterTree(*node.Child(i)) || shown;
  node.Hidden = !shown;
  return shown;
}

void TVexlinRows::ApplyRowFilter(size_t from, size_t to) {
  to = std::min(to, fCount);
  TBlockedHeightChanges changes(fIndex);
  for (size_t r = from; r < to; ++r) {
    TVexlinNode &node = *At(r);
    const int64_t before = Extent(node);
    FilterTree(node);
    changes.Add(r, Extent(node) - before);
  }
}

void TVexlinRows::DisposeTree(TVexlinNode &node, const Disposer &dispose) {
  for (size_t i = 0; i < node.ChildCount(); ++i)
    DisposeTree(*node.Child(i), dispose);
  TVexlinDataObject *data = node.Data;
  node.Data = nullptr;
  if (data && dispose)
    dispose(data);
}

void TVexlinRows::ForEachNode(const std::function<void(TVexlinNode &)> &visit) {
  std::function<void(TVexlinNode &)> walk = [&](TVexlinNode &n) {
    visit(n);
    for (size_t i = 0; i < n.ChildCount(); ++i)
      walk(*n.Child(i));
  };
  for (size_t r = 0; r < fCount; ++r)
    walk(*At(r));
}

void TVexlinRows::Remove(TVexlinNode *node, const Disposer &dispose) {
  if (!node)
    return;
  if (TVexlinNode *parent = node->Parent()) {
    if (parent->Expanded && IsVisible(*parent))
      ChangeExtent(*parent, -Extent(*node));
    DisposeTree(*node, dispose);
    auto &children = MutableLinks(*parent).Children;
    const auto it = std::find_if(children.begin(), children.end(),
                                 [node](const auto &c) { return c.get() == node; });
    if (it != children.end()) {
      ForgetSubtree(*node, true);
      children.erase(it);
    }
    if (children.empty())
      ReleaseSharedLinks(*parent);
    return;
  }
  const ptrdiff_t index = TopIndex(node);
  if (index < 0)
    return;
  DisposeTree(*node, dispose);
  RemoveTop(static_cast<size_t>(index));
}

void TVexlinRows::ForgetSubtree(const TVexlinNode &node, bool isChild) {
  fChildCount -= isChild ? 1 : 0;
  for (size_t i = 0; i < node.ChildCount(); ++i)
    ForgetSubtree(*node.Child(i), true);
}

void TVexlinRows::RemoveTop(size_t index) {
  ForgetSubtree(*At(index), false);
  ReleaseSharedLinks(*At(index));
  // Later rows move up one slot; their links and children must follow the
  // new address.
  for (size_t r = index; r + 1 < fCount; ++r) {
    TVexlinNode &target = *At(r);
    target = std::move(*At(r + 1));
    if (target.fLinkKind == TVexlinNode::TLinkKind::Shared)
      MoveSharedLinks(*At(r + 1), target);
  }
  *At(fCount - 1) = TVexlinNode{};
  --fCount;
  const size_t chunksNeeded = (fCount + kChunkRows - 1) >> kChunkShift;
  while (fChunks.size() > chunksNeeded) {
    fChunkByAddress.erase(reinterpret_cast<uintptr_t>(fChunks.back().get()));
    fChunks.pop_back();
  }
  RebuildIndex();
}

void TVexlinRows::RebuildIndex() {
  fIndex.Assign(fCount, [this](size_t r) { return Extent(*At(r)); });
}

size_t TVexlinRows::MemoryUsage() const {
  return fChunks.size() * kChunkRows * sizeof(TVexlinNode) +
         fChunks.capacity() * sizeof(fChunks[0]) +
         fChunkByAddress.size() * (sizeof(uintptr_t) + sizeof(size_t) + 4 * sizeof(void *)) +
         fIndex.MemoryUsage() +
         // table entry: key, links, next pointer, cached hash, bucket
         fSharedCount * (sizeof(void *) + sizeof(TVexlinNodeLinks) + 3 * sizeof(void *)) +
         fChildCount * (sizeof(TVexlinChildNode) + sizeof(void *));
}

void TVexlinRows::Clear(const Disposer &dispose) {
  for (size_t r = 0; r < fCount; ++r) {
    DisposeTree(*At(r), dispose);
    ReleaseSharedLinks(*At(r));
  }
  fChunks.clear();
  fChunks.shrink_to_fit();
  fChunkByAddress.clear();
  fCount = 0;
  fChildCount = 0;
  fIndex.Clear();
}
