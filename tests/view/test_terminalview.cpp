#include "pipeline/dataobjectregistry.h"
#include "testobjects.h"
#include "view/terminalview.h"
#include "view/timecell.h"
#include "waitfor.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TDateTime At(int h, int m, int s, int ms) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDateTime({2024, 3, 14, h, m, s, ms}, t));
  return t;
}

TEST(TimeCell, TextsRelativeToTheReference) {
  const TDateTime ref = At(10, 0, 5, 250);
  const struct {
    TDateTime time;
    TDateTime reference;
    const char *text;
  } cases[] = {
      {At(10, 0, 5, 250), ref, "00:00:00.000"},
      {At(10, 0, 6, 0), ref, "00:00:00.750"},
      {At(10, 0, 4, 250), ref, "00:00:01.000"}, // older rows show the absolute value
      {At(10, 0, 5, 250), 0, "10:00:05.250"},
      {At(23, 59, 59, 999), 0, "23:59:59.999"},
      {At(10, 0, 5, 250) + 1.0, ref, "00:00:00.000"}, // 24 hours wrap
      {0, ref, ""},                                   // no time recorded
      {NAN, 0, ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TimeCellText(c.time, c.reference).toStdString(), c.text) << c.text;
}

class TerminalViewTest : public ::testing::Test {
protected:
  TerminalViewTest() : view(tree) {
    tree.resize(800, 300);
    // Shown, so the viewport has its size when a frame scrolls the list.
    tree.show();
    QApplication::processEvents();
  }

  // Point in the middle of a row's cell, viewport coordinates.
  QPoint CellPoint(TVexlinNode *node, int column) {
    return tree.NodeCellRect(node, column).center();
  }
  QImage Render() {
    QImage image(tree.viewport()->size(), QImage::Format_RGB32);
    tree.viewport()->render(&image);
    return image;
  }
  // Pixels of a cell that differ from its background.
  int InkIn(const QImage &image, const QRect &cell, TColor background) {
    int ink = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        ink += image.pixelColor(x, y) != ToQColor(background);
    return ink;
  }

  TVexlinTree tree;
  TTerminalView view;
};

TEST_F(TerminalViewTest, ColumnsAsTheWindowExpects) {
  EXPECT_EQ(tree.objectName(), "vstTerminal");
  ASSERT_EQ(tree.ColumnCount(), 4);
  const char *titles[] = {"index", "time", "address", "data"};
  const int widths[] = {40, 85, 75};
  for (int c = 0; c < 4; ++c)
    EXPECT_EQ(tree.header()->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(tree.ColumnWidth(c), widths[c]);
  EXPECT_TRUE(tree.IsColumnVisible(0));
  EXPECT_TRUE(tree.IsColumnVisible(1));
  EXPECT_FALSE(tree.IsColumnVisible(2));
  // The data column takes the rest of the width.
  EXPECT_EQ(tree.ColumnWidth(3), tree.viewport()->width() - 40 - 85);
  EXPECT_EQ(tree.Font().family(), "Lucida Sans");
  EXPECT_EQ(tree.Font().pointSize(), 8);
  EXPECT_EQ(tree.DefaultNodeHeight(), 16);
}

TEST_F(TerminalViewTest, ToggledColumnComesBackWithItsWidth) {
  tree.SetColumnWidth(TTerminalView::ColumnTime, 110);
  view.ToggleColumnVisibility(TTerminalView::ColumnTime);
  EXPECT_FALSE(tree.IsColumnVisible(TTerminalView::ColumnTime));
  EXPECT_EQ(tree.ColumnWidth(3), tree.viewport()->width() - 40);
  view.ToggleColumnVisibility(TTerminalView::ColumnTime);
  EXPECT_TRUE(tree.IsColumnVisible(TTerminalView::ColumnTime));
  EXPECT_EQ(tree.ColumnWidth(TTerminalView::ColumnTime), 110);
  view.SetColumnVisibility(TTerminalView::ColumnAddress, true);
  EXPECT_EQ(tree.ColumnWidth(TTerminalView::ColumnAddress), 75);
}

TEST_F(TerminalViewTest, PaintsBackgroundsIndexTimeAndData) {
  auto *timed = new TProbeObject(16);
  timed->Time = At(10, 0, 5, 250);
  auto *untimed = new TProbeObject(16); // moved up from the unparsed-data view
  TVexlinNode *first = tree.AddRow(timed);
  TVexlinNode *second = tree.AddRow(untimed);
  const QImage image = Render();

  const QRect index0 = tree.NodeCellRect(first, 0);
  const QRect time0 = tree.NodeCellRect(first, 1);
  const QRect time1 = tree.NodeCellRect(second, 1);
  const QRect data0 = tree.NodeCellRect(first, 3);
  EXPECT_EQ(image.pixelColor(index0.topLeft()), ToQColor(0xC8C8C8));
  EXPECT_EQ(image.pixelColor(time0.topLeft()), ToQColor(0xE6E6E6));
  EXPECT_EQ(image.pixelColor(data0.topLeft()), ToQColor(timed->bckColor));
  EXPECT_GT(InkIn(image, index0, 0xC8C8C8), 0); // "0"
  EXPECT_GT(InkIn(image, time0, 0xE6E6E6), 0);
  EXPECT_EQ(InkIn(image, time1, 0xE6E6E6), 0); // empty time cell

  // The object draws the data column into the cell without margins moved.
  ASSERT_EQ(timed->drawnRects.size(), 1u);
  EXPECT_EQ(timed->drawnRects[0].top(), data0.top());
  EXPECT_EQ(timed->drawnRects[0].left(), data0.left() + TVexlinTree::kMargin);
}

TEST_F(TerminalViewTest, FirstRowShowsIndexZero) {
  // The index text of row 0 looks like a "0" drawn the same way elsewhere.
  TVexlinNode *row = tree.AddRow(new TProbeObject(16));
  const QImage image = Render();
  const QRect cell = tree.NodeCellRect(row, 0);
  QImage expected(cell.size(), QImage::Format_RGB32);
  expected.fill(ToQColor(0xC8C8C8));
  {
    QPainter p(&expected);
    p.setFont(tree.Font());
    p.setPen(Qt::black);
    const int left = TVexlinTree::kMargin - 2 + 5;
    p.drawText(QRect(left, 1, cell.width() - left, cell.height()), Qt::AlignLeft | Qt::AlignTop,
               "0");
  }
  EXPECT_EQ(image.copy(cell), expected);
}

TEST_F(TerminalViewTest, ClickingATimeCellSetsAndClearsTheReference) {
  auto *a = new TProbeObject(16);
  a->Time = At(10, 0, 5, 250);
  auto *b = new TProbeObject(16);
  b->Time = At(10, 0, 6, 0);
  TVexlinNode *rowA = tree.AddRow(a);
  TVexlinNode *rowB = tree.AddRow(b);

  Click(tree.viewport(), Qt::LeftButton, CellPoint(rowA, 1));
  EXPECT_EQ(view.TimeDif(), a->Time);
  EXPECT_EQ(a->events, std::vector<std::string>{"down"}); // the object sees the press first
  Click(tree.viewport(), Qt::LeftButton, CellPoint(rowB, 1));
  EXPECT_EQ(view.TimeDif(), b->Time);
  Click(tree.viewport(), Qt::LeftButton, CellPoint(rowB, 1));
  EXPECT_EQ(view.TimeDif(), 0);
  // Other columns and other buttons leave the reference alone.
  Click(tree.viewport(), Qt::LeftButton, CellPoint(rowA, 0));
  Click(tree.viewport(), Qt::RightButton, CellPoint(rowA, 1));
  EXPECT_EQ(view.TimeDif(), 0);
  EXPECT_EQ(a->events.size(), 3u);
}

TEST_F(TerminalViewTest, MouseMovesEnterMoveAndLeaveRows) {
  auto *a = new TProbeObject(16);
  auto *b = new TProbeObject(16);
  TVexlinNode *rowA = tree.AddRow(a);
  TVexlinNode *rowB = tree.AddRow(b);
  SendMouse(tree.viewport(), QEvent::MouseMove, Qt::NoButton, CellPoint(rowA, 3));
  SendMouse(tree.viewport(), QEvent::MouseMove, Qt::NoButton, CellPoint(rowA, 3) + QPoint(5, 0));
  SendMouse(tree.viewport(), QEvent::MouseMove, Qt::NoButton, CellPoint(rowB, 3));
  EXPECT_EQ(a->events, (std::vector<std::string>{"enter", "move", "move", "leave"}));
  EXPECT_EQ(b->events, (std::vector<std::string>{"enter", "move"}));
  EXPECT_EQ(view.MouseDispatch().LastMouseOverPvr(), b);

  // After the rows are gone the dispatcher must not call the deleted object.
  tree.Clear();
  EXPECT_EQ(view.MouseDispatch().LastMouseOverPvn(), nullptr);
  SendMouse(tree.viewport(), QEvent::MouseMove, Qt::NoButton, QPoint(10, 10));
}

TEST_F(TerminalViewTest, MouseLeavesARowForTheOtherList) {
  TVexlinTree rxBuffer;
  rxBuffer.resize(800, 50);
  SetupRxBufferView(rxBuffer, view.MouseDispatch());
  EXPECT_EQ(rxBuffer.objectName(), "vstRxBuffer");
  auto *packet = new TProbeObject(16);
  auto *pending = new TProbeObject(16);
  tree.AddRow(packet);
  rxBuffer.AddRow(pending);
  SendMouse(tree.viewport(), QEvent::MouseMove, Qt::NoButton, QPoint(300, 5));
  SendMouse(rxBuffer.viewport(), QEvent::MouseMove, Qt::NoButton, QPoint(300, 5));
  EXPECT_EQ(packet->events.back(), "leave");
  EXPECT_EQ(pending->events, (std::vector<std::string>{"enter", "move"}));

  // The unparsed-data view draws its object over the whole width.
  QImage image(rxBuffer.viewport()->size(), QImage::Format_RGB32);
  rxBuffer.viewport()->render(&image);
  ASSERT_EQ(pending->drawnRects.size(), 1u);
  EXPECT_EQ(pending->drawnRects[0].left(), TVexlinTree::kMargin);
  EXPECT_EQ(rxBuffer.ColumnAt(QPoint(300, 5)), NoColumn);
}

TEST_F(TerminalViewTest, ContextMenuOnlyForRowsWithLinks) {
  TVexlinNode *packet = tree.AddRow(new TProbeObject(16));
  auto *arp = new TLinkProbeObject;
  arp->AddLinkMenu("ping", TLinkNotifyEvent::Bind<&TLinkProbeObject::OnLink>(arp));
  arp->AddLinkMenu("telnet", TLinkNotifyEvent::Bind<&TLinkProbeObject::OnLink>(arp));
  arp->fLinkMenu[1].isMouseOver = true;
  TVexlinNode *arpRow = tree.AddRow(arp);

  EXPECT_FALSE(view.PrepareViewerMenu(packet));
  EXPECT_FALSE(view.PrepareViewerMenu(nullptr));
  ASSERT_TRUE(view.PrepareViewerMenu(arpRow));
  const auto actions = view.ViewerMenu()->actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_EQ(actions[0]->text(), "ping");
  EXPECT_EQ(view.ViewerMenu()->defaultAction(), actions[1]);
  EXPECT_TRUE(actions[1]->font().bold());
  actions[0]->trigger();
  EXPECT_EQ(arp->clicks, 1);
  // Refilled, not appended to, on every request; a packet row opens none.
  EXPECT_TRUE(view.PrepareViewerMenu(arpRow));
  EXPECT_EQ(view.ViewerMenu()->actions().size(), 2);

  QContextMenuEvent onPacket(QContextMenuEvent::Mouse, CellPoint(packet, 3),
                             tree.viewport()->mapToGlobal(CellPoint(packet, 3)));
  QApplication::sendEvent(tree.viewport(), &onPacket);
  EXPECT_FALSE(view.ViewerMenu()->isVisible());
  QContextMenuEvent onArp(QContextMenuEvent::Mouse, CellPoint(arpRow, 3),
                          tree.viewport()->mapToGlobal(CellPoint(arpRow, 3)));
  QApplication::sendEvent(tree.viewport(), &onArp);
  EXPECT_TRUE(view.ViewerMenu()->isVisible());
  view.ViewerMenu()->hide();
}

// Builds a chain as the queue hands it out.
TVexlinDataObject *Chain(const std::vector<TVexlinDataObject *> &objects) {
  for (size_t i = 0; i + 1 < objects.size(); ++i) {
    objects[i]->NextDataObj = objects[i + 1];
    objects[i + 1]->PrevDataObj = objects[i];
  }
  return objects.front();
}

TEST_F(TerminalViewTest, AppendChainAddsInOrderAndFollowsTheLastRow) {
  std::vector<TVexlinDataObject *> objects;
  for (int i = 0; i < 200; ++i)
    objects.push_back(new TProbeObject(16));
  const int64_t before = tree.ScrollY();
  TVexlinNode *last = view.AppendChain(Chain(objects));
  ASSERT_EQ(tree.RowCount(), 200u);
  EXPECT_EQ(last, tree.LastNode());
  // The hand-off only appends: nothing is measured or scrolled before the frame.
  EXPECT_EQ(tree.ScrollY(), before);
  EXPECT_EQ(static_cast<TProbeObject *>(objects.back())->measures, 0);
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  for (size_t i = 0; i < objects.size(); ++i) {
    EXPECT_EQ(tree.NodeAt(i)->Data, objects[i]);
    EXPECT_EQ(objects[i]->ParentVDT, &tree);
    EXPECT_EQ(objects[i]->NextDataObj, nullptr);
  }
  // Centred: the last row cannot be centred, so the list is at its end.
  EXPECT_EQ(tree.ScrollY(), tree.TotalHeight() - tree.viewport()->height());
  EXPECT_EQ(view.AppendChain(nullptr), nullptr);

  // Without auto-scroll new rows do not move the list.
  view.SetAutoScroll(false);
  tree.SetScrollY(0);
  view.AppendChain(Chain({new TProbeObject(16), new TProbeObject(16)}));
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  EXPECT_EQ(tree.ScrollY(), 0);
  // Switching it on brings the last row into view, at the bottom edge.
  view.SetAutoScroll(true);
  EXPECT_EQ(tree.ScrollY(), tree.TotalHeight() - tree.viewport()->height());
}

// Rows handed over far faster than frames: the list paints on its frame
// clock, not once per hand-off, and still ends at the last row.
TEST_F(TerminalViewTest, FastArrivalsPaintOnTheFrameClock) {
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  int paints = 0;
  tree.SetDrawNode([&](TVexlinPaintInfo &info) {
    if (info.Column == TTerminalView::ColumnData)
      ++paints;
  });
  QElapsedTimer clock;
  clock.start();
  int handOffs = 0;
  while (clock.elapsed() < 300) {
    view.AppendChain(Chain({new TProbeObject(16)}));
    ++handOffs;
    QApplication::processEvents();
  }
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  const qint64 elapsed = clock.elapsed();
  // Each frame paints the twenty or so visible rows.
  const int rowsPerFrame = tree.viewport()->height() / 16 + 2;
  const qint64 frames = elapsed / TVexlinTree::kFrameMs + 3;
  EXPECT_GT(handOffs, 3 * frames) << "too slow to tell";
  EXPECT_LE(paints, frames * rowsPerFrame) << handOffs << " hand-offs in " << elapsed << " ms";
  EXPECT_EQ(tree.ScrollY(), tree.TotalHeight() - tree.viewport()->height());
}

TEST_F(TerminalViewTest, FlushNodeItemCentresTheRow) {
  std::vector<TVexlinDataObject *> objects;
  for (int i = 0; i < 1000; ++i)
    objects.push_back(new TProbeObject(16));
  view.AppendChain(Chain(objects));
  TVexlinNode *row = tree.NodeAt(500);
  view.FlushNodeItem(row);
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  const int64_t rowCentre = tree.NodeTop(row) + 8 - tree.ScrollY();
  EXPECT_NEAR(double(rowCentre), tree.viewport()->height() / 2.0, 1.0);
}

// The last row's number is drawn whole, however many digits it has: the
// index column widens with the largest number, and goes back after a clear.
TEST_F(TerminalViewTest, IndexColumnWidensWithTheLargestNumber) {
  for (const size_t rows : {size_t(1), size_t(10), size_t(17746), size_t(100001)}) {
    std::vector<TVexlinDataObject *> objects;
    for (size_t i = tree.RowCount(); i < rows; ++i)
      objects.push_back(new TProbeObject(16));
    TVexlinNode *last = view.AppendChain(Chain(objects));
    ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
    const QString number = QString::number(rows - 1);
    const QRect cell = tree.NodeCellRect(last, TTerminalView::ColumnIndex);
    ASSERT_FALSE(cell.isEmpty()) << rows;
    // The number as drawn without any column around it.
    const int left = TVexlinTree::kMargin - 2 + 5;
    QImage whole(cell.width() + 200, cell.height(), QImage::Format_RGB32);
    whole.fill(ToQColor(0xC8C8C8));
    {
      QPainter p(&whole);
      p.setFont(tree.Font());
      p.setPen(Qt::black);
      p.drawText(QRect(left, 1, whole.width() - left, cell.height()), Qt::AlignLeft | Qt::AlignTop,
                 number);
    }
    int inkRight = 0;
    for (int y = 0; y < whole.height(); ++y)
      for (int x = 0; x < whole.width(); ++x)
        if (whole.pixelColor(x, y) != ToQColor(0xC8C8C8))
          inkRight = std::max(inkRight, x);
    EXPECT_LT(inkRight, cell.width() - TVexlinTree::kMargin) << number.toStdString();
    EXPECT_EQ(Render().copy(cell), whole.copy(0, 0, cell.width(), cell.height()))
        << number.toStdString();
  }
  tree.Clear();
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  EXPECT_EQ(tree.ColumnWidth(TTerminalView::ColumnIndex), 40);
  // A width the user chose stays.
  tree.SetColumnWidth(TTerminalView::ColumnIndex, 90);
  tree.AddRow(new TProbeObject(16));
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  EXPECT_EQ(tree.ColumnWidth(TTerminalView::ColumnIndex), 90);
}

// Nested rows, as the ARP table's "[+] invalid and other" three levels
// down: every expand button is drawn whole inside the index column.
TEST_F(TerminalViewTest, ExpandButtonsOfDeepRowsAreWhole) {
  std::vector<TVexlinNode *> parents;
  TVexlinNode *node = nullptr;
  for (int depth = 0; depth < 4; ++depth) {
    node = tree.AddChild(node, new TProbeObject(16));
    parents.push_back(node);
  }
  parents.pop_back(); // the deepest row has no button
  for (TVexlinNode *p : parents)
    tree.SetExpanded(p, true);
  ASSERT_TRUE(WaitFor([&] { return !tree.IsFramePending(); }));
  const QImage image = Render();
  for (size_t depth = 0; depth < parents.size(); ++depth) {
    const QRect cell = tree.NodeCellRect(parents[depth], TTerminalView::ColumnIndex);
    // The button's grey outline: a 9 x 9 square clear of the column's edge.
    QRect outline;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        if (image.pixelColor(x, y) == QColor(Qt::gray))
          outline |= QRect(x, y, 1, 1);
    EXPECT_EQ(outline.size(), QSize(9, 9)) << depth;
    EXPECT_LT(outline.right(), cell.right() - 1) << depth;
  }
}

// A kind whose rows wrap at the data column's width, as packets do.
class TWrappingObject : public TProbeObject {
public:
  static constexpr const char *ClassName = "TWrappingObject";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TWrappingObject>(); }
  static void ResizeVirtualTree(TVexlinView &, int Width) { sWidth = Width; }
  explicit TWrappingObject(int length = 0) : length(length) {}
  void MeasureHeight(TVexlinView &, QPainter *, TVexlinNode *, int &NodeHeight) override {
    const int perLine = std::max(1, sWidth / 20);
    NodeHeight = 16 * ((length + perLine - 1) / perLine);
  }
  int length;
  static int sWidth;
};
int TWrappingObject::sWidth = 400;

TEST_F(TerminalViewTest, ResizingRemeasuresRowsForTheNewDataWidth) {
  ClearDataObjectClasses();
  AddDataObjectClass(ClassOf<TWrappingObject>(), "wrp");
  std::vector<TVexlinDataObject *> objects;
  for (int i = 0; i < 3000; ++i)
    objects.push_back(new TWrappingObject(1 + i % 97));
  view.AppendChain(Chain(objects));
  // The data column grows when the address column is hidden... and shrinks
  // when it is shown; every kind hears the new width, the part of the column
  // inside the viewport.
  const auto visibleDataWidth = [&] {
    return std::min(tree.ColumnWidth(3),
                    tree.viewport()->width() - tree.header()->sectionPosition(3));
  };
  view.SetColumnVisibility(TTerminalView::ColumnAddress, true);
  EXPECT_EQ(TWrappingObject::sWidth, visibleDataWidth());
  tree.resize(500, 300);
  QApplication::processEvents();
  EXPECT_EQ(TWrappingObject::sWidth, visibleDataWidth());
  for (int spin = 0; spin < 100 && !tree.IsMeasured(tree.LastNode()); ++spin)
    QApplication::processEvents();
  int64_t y = 0;
  for (size_t i = 0; i < tree.RowCount(); ++i) {
    TVexlinNode *node = tree.NodeAt(i);
    int expected = 0;
    node->Data->MeasureHeight(tree, nullptr, node, expected);
    ASSERT_EQ(node->Height, expected) << i;
    ASSERT_EQ(tree.NodeTop(node), y) << i;
    ASSERT_EQ(tree.NodeAtY(y + expected - 1), node) << i;
    y += expected;
  }
  EXPECT_EQ(tree.TotalHeight(), y);
  ClearDataObjectClasses();
}

} // namespace
