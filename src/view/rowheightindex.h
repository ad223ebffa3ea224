#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Prefix sums of row heights in blocks of kBlockRows rows: a Fenwick tree over
// the block sums answers "which block holds y" and "y of a block" in
// O(log n), and the caller scans the at most kBlockRows rows inside a block.
// Keeping one sum per block instead of one per row costs 1/8 byte per row.
class TRowHeightIndex {
public:
  static constexpr size_t kBlockRows = 64;

  void Clear();
  // Adds a row at the end with the given height.
  void Append(int64_t height);
  // Changes the height of row `row` by `delta`.
  void Add(size_t row, int64_t delta);
  // Rebuilds from scratch in one linear pass; heightOf(row) gives each row.
  template <class F> void Assign(size_t rows, F heightOf) {
    std::vector<int64_t> sums((rows + kBlockRows - 1) / kBlockRows, 0);
    for (size_t r = 0; r < rows; ++r)
      sums[r / kBlockRows] += heightOf(r);
    Build(std::move(sums), rows);
  }

  size_t Rows() const { return fRows; }
  int64_t Total() const { return fTotal; }
  // Sum of the heights of all rows before the first row of `block`.
  int64_t BlockTop(size_t block) const;
  // The block containing content position y (0 <= y < Total()), and its top.
  size_t BlockAt(int64_t y, int64_t &blockTop) const;
  size_t MemoryUsage() const { return fTree.capacity() * sizeof(int64_t); }

private:
  void Build(std::vector<int64_t> sums, size_t rows);
  void AddToBlock(size_t block, int64_t delta);

  std::vector<int64_t> fTree; // 1-based Fenwick tree over block sums
  size_t fRows = 0;
  int64_t fTotal = 0;
};

// Height changes of rows visited in ascending order, handed to the index
// once per block instead of once per row; the rest goes in when it ends.
class TBlockedHeightChanges {
public:
  explicit TBlockedHeightChanges(TRowHeightIndex &index) : fIndex(index) {}
  ~TBlockedHeightChanges() { Flush(); }
  TBlockedHeightChanges(const TBlockedHeightChanges &) = delete;
  TBlockedHeightChanges &operator=(const TBlockedHeightChanges &) = delete;

  void Add(size_t row, int64_t delta) {
    if (row / TRowHeightIndex::kBlockRows != fRow / TRowHeightIndex::kBlockRows) {
      Flush();
      fRow = row;
    }
    fPending += delta;
  }

private:
  void Flush() {
    fIndex.Add(fRow, fPending);
    fPending = 0;
  }

  TRowHeightIndex &fIndex;
  size_t fRow = 0;
  int64_t fPending = 0;
};
