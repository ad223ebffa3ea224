#include "view/rowselection.h"

#include <gtest/gtest.h>

namespace {

using Ranges = std::vector<std::pair<size_t, size_t>>;

TEST(RowSelection, ClicksShiftAndCtrlBuildRanges) {
  TRowSelection s;
  s.SelectOnly(5);
  s.ExtendTo(8); // Shift+click
  EXPECT_EQ(s.Ranges(), Ranges({{5, 8}}));
  s.ExtendTo(3); // the anchor stays at 5
  EXPECT_EQ(s.Ranges(), Ranges({{3, 5}}));
  s.Toggle(10); // Ctrl+click adds, and becomes the anchor
  s.Toggle(4);  // Ctrl+click removes from the middle
  EXPECT_EQ(s.Ranges(), Ranges({{3, 3}, {5, 5}, {10, 10}}));
  s.ExtendTo(12); // from the last Ctrl+clicked row, keeping the rest
  EXPECT_EQ(s.Ranges(), Ranges({{3, 12}}));
  s.Toggle(7);
  EXPECT_EQ(s.Ranges(), Ranges({{3, 6}, {8, 12}}));
  EXPECT_EQ(s.Count(), 9u);
  EXPECT_TRUE(s.Contains(11));
  EXPECT_FALSE(s.Contains(7));
  EXPECT_FALSE(s.Contains(13));
  s.SelectAll(10'000'000);
  EXPECT_EQ(s.Count(), 10'000'000u);
  EXPECT_EQ(s.Ranges().size(), 1u);
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
}

TEST(RowSelection, WhileRowsAreHiddenSpansTakeOnlyTheShownOnes) {
  TRowSelection s;
  // Rows 3 to 6 and every row from 20 on are hidden.
  s.SetShownRows([](size_t row) { return row < 3 || (row > 6 && row < 20); });
  s.SelectAll(1'000'000);
  EXPECT_EQ(s.Ranges(), Ranges({{0, 2}, {7, 19}}));
  s.SelectOnly(1);
  s.ExtendTo(9);
  EXPECT_EQ(s.Ranges(), Ranges({{1, 2}, {7, 9}}));
  s.Toggle(12);
  s.ExtendTo(25); // joins what Ctrl added, hidden rows left out
  EXPECT_EQ(s.Ranges(), Ranges({{1, 2}, {7, 9}, {12, 19}}));
  EXPECT_EQ(s.Count(), 13u);
  s.SetShownRows(nullptr);
  s.SelectAll(30);
  EXPECT_EQ(s.Ranges(), Ranges({{0, 29}}));
}

} // namespace
