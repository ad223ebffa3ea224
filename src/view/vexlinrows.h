#pragma once

#include "view/rowheightindex.h"
#include "view/vexlinnode.h"

#include <functional>
#include <map>

// The rows of a TVexlinTree and their vertical layout, without any widget.
// Top-level rows live in fixed-size chunks (stable addresses, O(1) access by
// index); heights are cached per row and summed per block of top-level rows
// (a row's extent includes its expanded children), so position queries are
// O(log n). Rows are measured lazily through the measurer; an unmeasured row
// counts with its last known height (the default height when new).
class TVexlinRows {
public:
  using Measurer = std::function<int(TVexlinNode &)>;
  using Disposer = std::function<void(TVexlinDataObject *)>;

  explicit TVexlinRows(int defaultHeight = 16);
  ~TVexlinRows();
  TVexlinRows(const TVexlinRows &) = delete;
  TVexlinRows &operator=(const TVexlinRows &) = delete;

  void SetMeasurer(Measurer measurer) { fMeasurer = std::move(measurer); }
  void SetDefaultHeight(int height) { fDefaultHeight = height; }

  TVexlinNode *Append(TVexlinDataObject *data);
  TVexlinNode *AddChild(TVexlinNode *parent, TVexlinDataObject *data);
  // Removes a row with its children; `dispose` gets the object of every
  // removed row (children first).
  void Remove(TVexlinNode *node, const Disposer &dispose);
  void Clear(const Disposer &dispose);

  size_t Count() const { return fCount; }
  TVexlinNode *At(size_t index) const;
  // Index among the top-level rows, or -1 when `node` is not one of them.
  ptrdiff_t TopIndex(const TVexlinNode *node) const;
  // Index among its siblings (top-level rows included), or -1.
  ptrdiff_t IndexOf(const TVexlinNode *node) const;
  bool Contains(const TVexlinNode *node) const;
  int Depth(const TVexlinNode *node) const;

  bool IsMeasured(const TVexlinNode &node) const { return node.Epoch == fEpoch; }
  // Measures the row when it is unmeasured; true when its height changed.
  bool Measure(TVexlinNode &node);
  void MarkUnmeasured(TVexlinNode &node) { node.Epoch = 0; }
  // Marks every row unmeasured; O(1) except once every 255 calls.
  void MarkAllUnmeasured();
  // Measures every unmeasured top-level row (and its children) from `from`
  // on, up to `limit` rows; returns the index after the last one done.
  size_t MeasureRange(size_t from, size_t limit);

  void SetExpanded(TVexlinNode &node, bool expanded);
  // Whether the row is not filtered out and every ancestor is expanded and
  // not filtered out.
  bool IsVisible(const TVexlinNode &node) const;

  // Which rows a filter keeps: a row stays when it or one of its children is
  // kept. Null keeps every row.
  using RowFilter = std::function<bool(const TVexlinNode &)>;
  // Rows added from now on are tested as they come.
  void SetRowFilter(RowFilter keep) { fFilter = std::move(keep); }
  bool HasRowFilter() const { return bool(fFilter); }
  // Tests the top-level rows [from, to) and their children against the row
  // filter (shows them all without one); the layout stays consistent.
  void ApplyRowFilter(size_t from, size_t to);

  // Top of a visible row in content coordinates, or -1 when hidden.
  int64_t Top(const TVexlinNode &node) const;
  // The visible row at content position y, or none past the end.
  TVexlinNode *AtY(int64_t y, int64_t *top = nullptr) const;
  TVexlinNode *NextVisible(const TVexlinNode &node) const;
  int64_t TotalHeight() const { return fIndex.Total(); }

  // Bytes held for the rows (not counting their objects).
  size_t MemoryUsage() const;

private:
  static constexpr size_t kChunkShift = 14;
  static constexpr size_t kChunkRows = size_t(1) << kChunkShift;

  TVexlinNode *NewTopSlot();
  // Links of a row for changing them; a top-level row gets its entry in the
  // shared table on first use.
  TVexlinNodeLinks &MutableLinks(TVexlinNode &node);
  // Drops the shared table entry of a top-level row with its children.
  void ReleaseSharedLinks(TVexlinNode &node);
  // Rekeys the shared entry of a row that moved from `from` to `to`.
  void MoveSharedLinks(const TVexlinNode &from, TVexlinNode &to);
  void SetHeight(TVexlinNode &node, int height);
  // Height of a row with its expanded children.
  int64_t Extent(const TVexlinNode &node) const;
  TVexlinNode *Root(const TVexlinNode &node) const;
  // Sets the hidden marks of a row and its children; true when it is shown.
  bool FilterTree(TVexlinNode &node);
  // The first top-level row at or after `from` that takes up space.
  TVexlinNode *ShownTopFrom(size_t from) const;
  void ChangeExtent(const TVexlinNode &node, int64_t delta);
  void RebuildIndex();
  void RemoveTop(size_t index);
  // Drops the bookkeeping of a subtree that is about to be destroyed.
  void ForgetSubtree(const TVexlinNode &node, bool isChild);
  void DisposeTree(TVexlinNode &node, const Disposer &dispose);
  void ForEachNode(const std::function<void(TVexlinNode &)> &visit);

  std::vector<std::unique_ptr<TVexlinNode[]>> fChunks;
  std::map<uintptr_t, size_t> fChunkByAddress; // chunk start address -> chunk number
  size_t fCount = 0;
  size_t fSharedCount = 0; // rows of this list with an entry in the shared table
  size_t fChildCount = 0;
  TRowHeightIndex fIndex;
  Measurer fMeasurer;
  RowFilter fFilter;
  int fDefaultHeight;
  uint8_t fEpoch = 1;
};
