// Narrowing or widening the window re-wraps every packet of the list: what
// the user was looking at stays in sight.
#include "view/terminalview.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>

namespace {

class ListResizeTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->resize(1400, 800);
    tree = window->vstTerminal();
    // Packets of different lengths, long enough to wrap differently at
    // each width.
    TVexlinNode *last = nullptr;
    {
      TVexlinTreeUpdate update(*tree);
      for (int i = 0; i < 17000; ++i) {
        auto *row = new TVexlinDataBinary(QByteArray(20 + (i * 37) % 180, char(i)), spRx);
        row->ParentVDT = tree;
        last = tree->AddRow(row);
      }
    }
    window->TerminalView()->FlushNodeItem(last);
    Settled();
  }

  // Every row measured at the present width and no frame to come.
  void Settled() {
    Process();
    ASSERT_TRUE(WaitFor(
        [&] {
          return !tree->IsFramePending() && tree->IsMeasured(tree->NodeAt(0)) &&
                 tree->IsMeasured(tree->LastNode());
        },
        20000));
    Process();
  }
  void ResizeTo(int width) {
    const int before = tree->viewport()->width();
    window->resize(width, 800);
    ASSERT_TRUE(WaitFor([&] { return tree->viewport()->width() != before; }));
    Settled();
  }
  // The row at the top edge of the list and the one at its bottom edge.
  TVexlinNode *TopRow() const { return tree->NodeAt(QPoint(1, 0)); }
  TVexlinNode *BottomRow() const { return tree->NodeAt(QPoint(1, tree->viewport()->height() - 1)); }

  TVexlinTree *tree = nullptr;
};

TEST_F(ListResizeTest, FollowingTheNewestRowsKeepsThemInSight) {
  ASSERT_TRUE(window->findChild<QCheckBox *>("chkScroll")->isChecked());
  ASSERT_EQ(BottomRow(), tree->LastNode());
  for (const int width : {1180, 1400, 1000, 1300}) {
    ResizeTo(width);
    EXPECT_EQ(BottomRow(), tree->LastNode())
        << "at " << width << " px the bottom row is " << tree->IndexOf(BottomRow());
  }
}

TEST_F(ListResizeTest, WithoutFollowingTheTopRowStays) {
  window->findChild<QCheckBox *>("chkScroll")->click();
  TVexlinNode *row = tree->NodeAt(8000);
  tree->SetScrollY(tree->NodeTop(row));
  Process();
  ASSERT_EQ(TopRow(), row);
  for (const int width : {1180, 1400, 1000, 1300}) {
    ResizeTo(width);
    EXPECT_EQ(TopRow(), row) << "at " << width << " px the top row is " << tree->IndexOf(TopRow());
  }
}

} // namespace
