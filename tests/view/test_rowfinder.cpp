#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/dataobjectregistry.h"
#include "view/rowfinder.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "waitfor.h"

#include <gtest/gtest.h>

namespace {

// Rows: 0 "AB", 1 log "hello AB", 2 "CD" with children "EF" and "AB!",
// 3 "ABAB", 4 "xy".
class RowFinderTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.resize(600, 400);
    Add("AB");
    tree.AddRow(new TVexlinDataLog(QStringLiteral("hello AB"), 0));
    TVexlinNode *parent = Add("CD");
    tree.AddChild(parent, new TVexlinDataBinary(QByteArray("EF"), spRx));
    tree.AddChild(parent, new TVexlinDataBinary(QByteArray("AB!"), spRx));
    tree.SetExpanded(parent, true);
    Add("ABAB");
    Add("xy");
  }
  TVexlinNode *Add(const QByteArray &bytes) {
    return tree.AddRow(new TVexlinDataBinary(bytes, spRx));
  }
  QByteArray Bytes(const TVexlinNode *node) {
    QByteArray scratch;
    return node->Data->SearchBytes(scratch).toByteArray();
  }
  // Runs one find and returns the row found ("" for none) and whether it wrapped.
  std::pair<QByteArray, bool> Next(bool forward) {
    QByteArray row = "?";
    bool wrapped = false;
    QObject context;
    QObject::connect(&finder, &TRowFinder::found, &context, [&](TVexlinNode *n, bool w) {
      row = Bytes(n);
      wrapped = w;
    });
    QObject::connect(&finder, &TRowFinder::notFound, &context, [&] { row = ""; });
    finder.FindNext(forward);
    EXPECT_TRUE(WaitFor([&] { return row != "?"; }));
    return {row, wrapped};
  }
  // The rows the list shows, top to bottom.
  QStringList Shown() {
    QStringList shown;
    for (int64_t y = 0; y < tree.TotalHeight();) {
      TVexlinNode *n = tree.NodeAtY(y);
      shown << QString::fromLatin1(Bytes(n));
      y = tree.NodeTop(n) + n->Height;
    }
    return shown;
  }

  TVexlinTree tree;
  TRowFinder finder{tree};
};

TEST_F(RowFinderTest, FindsForwardAndBackwardAcrossTheEnds) {
  finder.SetPattern(TByteFinder("AB", false));
  using R = std::pair<QByteArray, bool>;
  EXPECT_EQ(Next(true), R("AB", false));
  EXPECT_EQ(Next(true), R("hello AB", false));
  EXPECT_EQ(Next(true), R("AB!", false)); // a child row
  EXPECT_EQ(Next(true), R("ABAB", false));
  EXPECT_EQ(Next(true), R("AB", true)); // past the end, from the top again
  EXPECT_EQ(Next(false), R("ABAB", true));
  EXPECT_EQ(Next(false), R("AB!", false));
  EXPECT_EQ(tree.FocusedNode(), finder.Current());
}

TEST_F(RowFinderTest, APatternThatIsNotThereIsReported) {
  finder.SetPattern(TByteFinder("ZZ", false));
  EXPECT_EQ(Next(true).first, "");
  EXPECT_EQ(Next(false).first, "");
  EXPECT_EQ(finder.Current(), nullptr);
}

TEST_F(RowFinderTest, CountsRowsAndOccurrencesAndTheCurrentPlace) {
  finder.SetPattern(TByteFinder("AB", false));
  ASSERT_TRUE(WaitFor([&] { return finder.Counted(); }));
  EXPECT_EQ(finder.MatchingRows(), 4u);
  EXPECT_EQ(finder.Occurrences(), 5u);
  Next(true);
  EXPECT_EQ(finder.CurrentOrdinal(), 1u);
  Next(true);
  Next(true);
  EXPECT_EQ(finder.CurrentOrdinal(), 3u);
  Next(true);
  Next(true);
  EXPECT_EQ(finder.CurrentOrdinal(), 1u); // wrapped
  Next(false);
  EXPECT_EQ(finder.CurrentOrdinal(), 4u);
  // Rows arriving later are counted as they come.
  Add("--AB--");
  EXPECT_TRUE(WaitFor([&] { return finder.MatchingRows() == 5u; }, 3000));
}

TEST_F(RowFinderTest, TheFilterShowsMatchingRowsAndTheParentsOfMatchingChildren) {
  finder.SetPattern(TByteFinder("AB", false));
  Next(true);
  Next(true); // the log line is the current row
  finder.SetFilter(true);
  ASSERT_TRUE(WaitFor([&] { return !finder.FilterBusy(); }));
  EXPECT_EQ(Shown(), QStringList({"AB", "hello AB", "CD", "AB!", "ABAB"}));
  // Arriving rows are tested as they come.
  Add("no");
  Add("yes AB");
  EXPECT_EQ(Shown(), QStringList({"AB", "hello AB", "CD", "AB!", "ABAB", "yes AB"}));
  // A new pattern filters again.
  finder.SetPattern(TByteFinder("EF", false));
  ASSERT_TRUE(WaitFor([&] { return !finder.FilterBusy(); }));
  EXPECT_EQ(Shown(), QStringList({"CD", "EF"}));

  finder.SetPattern(TByteFinder("AB", false));
  Next(true);
  Next(true);
  TVexlinNode *current = finder.Current();
  ASSERT_EQ(Bytes(current), "hello AB");
  finder.SetFilter(false);
  ASSERT_TRUE(WaitFor([&] { return !finder.FilterBusy(); }));
  EXPECT_EQ(Shown().size(), 9); // every row again
  EXPECT_EQ(tree.FocusedNode(), current);
}

TEST_F(RowFinderTest, ClearingTheListForgetsPlacesAndCounts) {
  finder.SetPattern(TByteFinder("AB", false));
  Next(true);
  ASSERT_TRUE(WaitFor([&] { return finder.Counted(); }));
  tree.Clear();
  EXPECT_EQ(finder.Current(), nullptr);
  EXPECT_EQ(finder.MatchingRows(), 0u);
  Add("AB");
  EXPECT_EQ(Next(true).first, "AB");
}

// In a packet taller than the list the found bytes come into view, not the
// packet's middle: the first ones going forward, the last ones going back.
// The current row's bytes are the ones marked as current.
TEST_F(RowFinderTest, FoundBytesInATallPacketComeIntoView) {
  // The rows' layout follows the list's width: shown, with its scroll bar
  // from the start, the list keeps one (a window measures its rows again on
  // a resize).
  RegisterVexlinDataObjectClasses();
  tree.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  tree.show();
  Settle(50);
  tree.ResetNodeHeights();
  QByteArray tall(30000, '.');
  tall.replace(100, 4, "ZZ!!");
  tall.replace(29000, 4, "ZZ??");
  TVexlinNode *node = Add(tall);
  auto inView = [&](qsizetype byte) {
    tree.ApplyLayout();
    const int64_t line = byte / TVexlinDataBinary::CharsPerLine;
    const int64_t y = tree.NodeTop(node) + line * (TVexlinDataBinary::HexCharHeight + 3);
    return y >= tree.ScrollY() && y < tree.ScrollY() + tree.viewport()->height();
  };
  finder.SetPattern(TByteFinder("ZZ??", false));
  ASSERT_EQ(Next(true).first, tall);
  ASSERT_GT(node->Height, tree.viewport()->height());
  EXPECT_TRUE(inView(29000));
  EXPECT_EQ(TVexlinDataBinary::FindCurrent, node->Data);
  finder.SetPattern(TByteFinder("ZZ", false));
  EXPECT_EQ(TVexlinDataBinary::FindCurrent, nullptr);
  ASSERT_EQ(Next(true).first, tall);
  EXPECT_TRUE(inView(100));
  EXPECT_FALSE(inView(29000));
  ASSERT_EQ(Next(false).first, tall);
  EXPECT_TRUE(inView(29000));
  EXPECT_FALSE(inView(100));
}

} // namespace

// The longest row is known without a pass of its own per question: it
// follows new rows, children added later under an old row, and removals.
TEST_F(RowFinderTest, TheLongestRowFollowsTheList) {
  EXPECT_EQ(finder.LongestRow(), 8); // the log line "hello AB"
  Add("0123456789");
  EXPECT_EQ(finder.LongestRow(), 10);
  tree.AddChild(tree.NodeAt(2), new TVexlinDataBinary(QByteArray(20, 'z'), spRx));
  EXPECT_EQ(finder.LongestRow(), 20);
  tree.Clear();
  Add("xyz");
  EXPECT_EQ(finder.LongestRow(), 3);
}
