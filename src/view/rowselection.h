#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

// The selected top-level rows of a list as sorted, disjoint ranges of row
// indices, so selecting all of ten million rows costs one range. A child row
// is selected with its top-level row.
//
// While the list hides rows (a filter), selecting all or a span takes only
// the rows shown: what is selected is what the user saw.
class TRowSelection {
public:
  // Whether a row is shown now; null when every row is.
  using ShownRows = std::function<bool(size_t row)>;
  void SetShownRows(ShownRows shown) { fShown = std::move(shown); }

  void Clear();
  // Only `row` is selected; it becomes the anchor of later extensions.
  void SelectOnly(size_t row);
  // Adds or removes `row`; it becomes the anchor.
  void Toggle(size_t row);
  // The rows from the anchor to `row` are selected (with what Ctrl added
  // before the anchor was set).
  void ExtendTo(size_t row);
  void SelectAll(size_t rows);

  bool Contains(size_t row) const;
  bool IsEmpty() const { return fRanges.empty(); }
  size_t Count() const;
  size_t Anchor() const { return fAnchor; }
  // The row an extension last reached (the anchor when none).
  size_t Cursor() const { return fCursor; }
  // The selected rows in ascending order, as [first, last] ranges.
  const std::vector<std::pair<size_t, size_t>> &Ranges() const { return fRanges; }

private:
  void Add(size_t first, size_t last);
  // Adds the shown rows of [first, last], in runs.
  void AddShown(size_t first, size_t last);
  void Remove(size_t row);

  std::vector<std::pair<size_t, size_t>> fRanges;
  std::vector<std::pair<size_t, size_t>> fBase; // the selection an extension starts from
  size_t fAnchor = 0;
  size_t fCursor = 0;
  ShownRows fShown;
};
