#include "view/rowselection.h"

#include <algorithm>
#include <iterator>

void TRowSelection::Clear() {
  fRanges.clear();
  fBase.clear();
  fAnchor = fCursor = 0;
}

void TRowSelection::SelectOnly(size_t row) {
  fRanges = {{row, row}};
  fBase.clear();
  fAnchor = fCursor = row;
}

void TRowSelection::Toggle(size_t row) {
  if (Contains(row))
    Remove(row);
  else
    Add(row, row);
  fBase = fRanges;
  fAnchor = fCursor = row;
}

void TRowSelection::ExtendTo(size_t row) {
  fRanges = fBase;
  AddShown(std::min(fAnchor, row), std::max(fAnchor, row));
  fCursor = row;
}

void TRowSelection::SelectAll(size_t rows) {
  Clear();
  if (rows > 0)
    AddShown(0, rows - 1);
  fCursor = rows > 0 ? rows - 1 : 0;
}

void TRowSelection::AddShown(size_t first, size_t last) {
  if (!fShown) {
    Add(first, last);
    return;
  }
  // The runs of shown rows, merged with the selection in one pass: a span
  // over millions of filtered rows may hold many runs.
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t row = first; row <= last; ++row) {
    if (!fShown(row))
      continue;
    if (!runs.empty() && runs.back().second + 1 == row)
      runs.back().second = row;
    else
      runs.emplace_back(row, row);
  }
  std::vector<std::pair<size_t, size_t>> merged;
  merged.reserve(fRanges.size() + runs.size());
  std::merge(fRanges.begin(), fRanges.end(), runs.begin(), runs.end(), std::back_inserter(merged));
  fRanges.clear();
  for (const auto &range : merged) {
    if (!fRanges.empty() && range.first <= fRanges.back().second + 1)
      fRanges.back().second = std::max(fRanges.back().second, range.second);
    else
      fRanges.push_back(range);
  }
}

bool TRowSelection::Contains(size_t row) const {
  const auto it = std::upper_bound(fRanges.begin(), fRanges.end(), row,
                                   [](size_t r, const auto &range) { return r < range.first; });
  return it != fRanges.begin() && std::prev(it)->second >= row;
}

size_t TRowSelection::Count() const {
  size_t count = 0;
  for (const auto &[first, last] : fRanges)
    count += last - first + 1;
  return count;
}

void TRowSelection::Add(size_t first, size_t last) {
  std::vector<std::pair<size_t, size_t>> merged;
  merged.reserve(fRanges.size() + 1);
  bool placed = false;
  for (const auto &range : fRanges) {
    // Ranges that overlap or touch the new one join it.
    if (range.second + 1 < first) {
      merged.push_back(range);
    } else if (last + 1 < range.first) {
      if (!placed)
        merged.emplace_back(first, last);
      placed = true;
      merged.push_back(range);
    } else {
      first = std::min(first, range.first);
      last = std::max(last, range.second);
    }
  }
  if (!placed)
    merged.emplace_back(first, last);
  fRanges = std::move(merged);
}

void TRowSelection::Remove(size_t row) {
  for (size_t i = 0; i < fRanges.size(); ++i) {
    auto [first, last] = fRanges[i];
    if (row < first || row > last)
      continue;
    fRanges.erase(fRanges.begin() + static_cast<ptrdiff_t>(i));
    if (row < last)
      fRanges.insert(fRanges.begin() + static_cast<ptrdiff_t>(i), {row + 1, last});
    if (first < row)
      fRanges.insert(fRanges.begin() + static_cast<ptrdiff_t>(i), {first, row - 1});
    return;
  }
}
