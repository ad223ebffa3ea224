// Packets appended while the unparsed-data view, which is wider, paints in
// between: the row kinds share one layout, and every list must measure,
// draw and hit-test with its own.
#include "pipeline/databinary.h"
#include "pipeline/dataobjectregistry.h"
#include "view/terminalview.h"
#include "waitfor.h"

#include <QApplication>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <set>

namespace {

class LiveLayoutTest : public ::testing::Test {
protected:
  LiveLayoutTest() : view(*tree) {
    ClearDataObjectClasses();
    RegisterVexlinDataObjectClasses();
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(tree);
    layout->addWidget(rx);
    SetupRxBufferView(*rx, view.MouseDispatch());
    // A remainder drawn over the whole width, as the window shows it.
    rx->AddRow(new TVexlinDataBinary(QByteArray(300, 'r'), spRx));
    window.resize(1000, 700);
    window.show();
    Settle();
  }
  ~LiveLayoutTest() override { ClearDataObjectClasses(); }

  void Settle() {
    ASSERT_TRUE(WaitFor([&] { return !tree->IsFramePending() && !rx->IsFramePending(); }));
  }
  // Makes the data column `width` pixels wide.
  void SetDataWidth(int width) {
    window.resize(width + tree->ColumnWidth(0) + tree->ColumnWidth(1) + 30, 700);
    QApplication::processEvents();
    Settle();
  }

  // Moves the mouse over every byte cell of the row and collects the bytes
  // found; every frame drawn around a byte must lie inside the row and the
  // viewport.
  std::set<int> HoverRow(TVexlinNode *node) {
    std::set<int> seen;
    const QRect cell = tree->NodeCellRect(node, TTerminalView::ColumnData);
    const QRect row(0, static_cast<int>(tree->NodeTop(node) - tree->ScrollY()),
                    tree->viewport()->width(), node->Height);
    EXPECT_TRUE(cell.isValid());
    const int step = std::max(1, TVexlinDataBinary::HexCharWidth * 3 / 2);
    for (int y = row.top() + 2; y < row.bottom(); y += 8)
      for (int x = cell.left(); x < cell.right(); x += step) {
        view.MouseDispatch().MouseMove(*tree, Qt::NoModifier, QPoint(x, y));
        // A position past the last byte frames nothing.
        if (TVexlinDataBinary::fr1.isEmpty())
          continue;
        seen.insert(TVexlinDataBinary::LastDataIndex);
        // The frame is around the byte under the mouse, in whichever area.
        const QPoint mouse(x, y);
        EXPECT_TRUE(TVexlinDataBinary::fr1.adjusted(-2, -2, 2, 2).contains(mouse) ||
                    TVexlinDataBinary::fr2.adjusted(-2, -2, 2, 2).contains(mouse))
            << "byte " << TVexlinDataBinary::LastDataIndex << " framed away from the mouse at " << x
            << "," << y;
        EXPECT_TRUE(row.contains(TVexlinDataBinary::fr1))
            << TVexlinDataBinary::LastDataIndex << " hex frame outside its row";
        EXPECT_TRUE(row.contains(TVexlinDataBinary::fr2))
            << TVexlinDataBinary::LastDataIndex << " character frame outside its row";
      }
    return seen;
  }

  QWidget window;
  TVexlinTree *tree = new TVexlinTree(&window);
  TVexlinTree *rx = new TVexlinTree(&window);
  TTerminalView view;
};

// Every byte can be hovered, is framed where the mouse is, and its frame
// lies inside its row: no byte hides below the row's end.
TEST_F(LiveLayoutTest, EveryByteOfALiveRowIsInsideItsRowAndFramedUnderTheMouse) {
  for (const int width : {260, 470, 700}) {
    SetDataWidth(width);
    for (int length = 1; length <= 80; ++length) {
      QByteArray bytes(length, Qt::Uninitialized);
      for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i + 1);
      TVexlinNode *node = view.AppendChain(new TVexlinDataBinary(bytes, spRx));
      // The wider view paints between the hand-off and the list's frame.
      rx->viewport()->repaint();
      Settle();
      std::set<int> expected;
      for (int i = 1; i <= length; ++i)
        expected.insert(i);
      ASSERT_EQ(HoverRow(node), expected) << "length " << length << " at width " << width;
    }
  }
}

} // namespace
