#include "view/rowheightindex.h"

#include <bit>

void TRowHeightIndex::Clear() {
  fTree.clear();
  fTree.shrink_to_fit();
  fRows = 0;
  fTotal = 0;
}

void TRowHeightIndex::Build(std::vector<int64_t> sums, size_t rows) {
  // Linear Fenwick construction: every node pushes its sum to its parent.
  fTree.assign(sums.size() + 1, 0);
  fTotal = 0;
  for (size_t i = 0; i < sums.size(); ++i) {
    fTree[i + 1] += sums[i];
    fTotal += sums[i];
    const size_t parent = (i + 1) + ((i + 1) & (~(i + 1) + 1));
    if (parent < fTree.size())
      fTree[parent] += fTree[i + 1];
  }
  fRows = rows;
}

void TRowHeightIndex::AddToBlock(size_t block, int64_t delta) {
  for (size_t i = block + 1; i < fTree.size(); i += i & (~i + 1))
    fTree[i] += delta;
  fTotal += delta;
}

void TRowHeightIndex::Append(int64_t height) {
  const size_t block = fRows / kBlockRows;
  if (fTree.empty())
    fTree.push_back(0); // the unused slot 0 of the 1-based tree
  if (block + 1 >= fTree.size()) {
    // A new block: its Fenwick node covers the blocks (i - lowbit(i), i],
    // which are all known, so its value is a difference of prefix sums.
    const size_t i = block + 1;
    const size_t low = i & (~i + 1);
    const int64_t covered = BlockTop(block) - BlockTop(i - low);
    fTree.push_back(covered);
  }
  ++fRows;
  AddToBlock(block, height);
}

void TRowHeightIndex::Add(size_t row, int64_t delta) {
  if (delta != 0 && row < fRows)
    AddToBlock(row / kBlockRows, delta);
}

int64_t TRowHeightIndex::BlockTop(size_t block) const {
  int64_t sum = 0;
  if (fTree.empty())
    return 0;
  for (size_t i = block < fTree.size() ? block : fTree.size() - 1; i > 0; i -= i & (~i + 1))
    sum += fTree[i];
  return sum;
}

size_t TRowHeightIndex::BlockAt(int64_t y, int64_t &blockTop) const {
  // Fenwick descent: the largest prefix of blocks whose sum stays <= y.
  size_t pos = 0;
  int64_t sum = 0;
  const size_t n = fTree.empty() ? 0 : fTree.size() - 1;
  for (size_t step = n == 0 ? 0 : std::bit_floor(n); step > 0; step >>= 1) {
    const size_t next = pos + step;
    if (next <= n && sum + fTree[next] <= y) {
      pos = next;
      sum += fTree[next];
    }
  }
  blockTop = sum;
  const size_t blocks = n;
  return pos < blocks ? pos : (blocks == 0 ? 0 : blocks - 1);
}
