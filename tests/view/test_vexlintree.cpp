#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "testobjects.h"
#include "view/rowmemory.h"
#include "view/vexlintree.h"

#include <QApplication>
#include <QHeaderView>
#include <deque>
#include <gtest/gtest.h>
#include <random>

namespace {

// Content position of every visible row by plain summation, in display order.
std::vector<std::pair<TVexlinNode *, int64_t>> PlainLayout(TVexlinTree &tree) {
  std::vector<std::pair<TVexlinNode *, int64_t>> rows;
  int64_t y = 0;
  std::function<void(TVexlinNode *)> walk = [&](TVexlinNode *n) {
    rows.emplace_back(n, y);
    y += n->Height;
    if (n->Expanded)
      for (size_t i = 0; i < n->ChildCount(); ++i)
        walk(n->Child(i));
  };
  for (size_t i = 0; i < tree.RowCount(); ++i)
    walk(tree.NodeAt(i));
  return rows;
}

// Checks "y of row" for every row and "row at y" at the first and last pixel
// of every row against plain sums.
void ExpectPositionsAgree(TVexlinTree &tree) {
  const auto rows = PlainLayout(tree);
  int64_t total = 0;
  for (const auto &[node, top] : rows) {
    ASSERT_EQ(tree.NodeTop(node), top);
    if (node->Height > 0) {
      ASSERT_EQ(tree.NodeAtY(top), node);
      ASSERT_EQ(tree.NodeAtY(top + node->Height - 1), node);
    }
    total = top + node->Height;
  }
  EXPECT_EQ(tree.TotalHeight(), total);
  EXPECT_EQ(tree.NodeAtY(total), nullptr);
  EXPECT_EQ(tree.NodeAtY(-1), nullptr);
}

TEST(VexlinTreeRows, AppendIndexAndOwnership) {
  bool alive[3];
  {
    TVexlinTree tree;
    EXPECT_EQ(tree.LastNode(), nullptr);
    TVexlinNode *rows[3];
    for (int i = 0; i < 3; ++i)
      rows[i] = tree.AddRow(new TProbeObject(16, &alive[i]));
    EXPECT_EQ(tree.RowCount(), 3u);
    EXPECT_EQ(tree.LastNode(), rows[2]);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(tree.NodeAt(size_t(i)), rows[i]);
      EXPECT_EQ(tree.IndexOf(rows[i]), i);
    }
    TVexlinNode foreign;
    EXPECT_EQ(tree.IndexOf(&foreign), -1);

    // Removing a middle row deletes its object; the later rows move up.
    TProbeObject *third = static_cast<TProbeObject *>(rows[2]->Data);
    tree.RemoveRow(rows[1]);
    EXPECT_FALSE(alive[1]);
    EXPECT_EQ(tree.RowCount(), 2u);
    EXPECT_EQ(tree.NodeAt(1)->Data, third);
    EXPECT_EQ(tree.TotalHeight(), 32);
  }
  // The tree deletes the objects of the rows it still has.
  EXPECT_FALSE(alive[0]);
  EXPECT_FALSE(alive[2]);
}

TEST(VexlinTreeRows, HandedOverObjectSurvivesRemoval) {
  // The unparsed-data view hands its object to the packet list.
  bool alive = false;
  TVexlinTree packets;
  TVexlinTree rxBuffer;
  auto *object = new TProbeObject(16, &alive);
  rxBuffer.AddRow(object);
  packets.AddRow(object);
  rxBuffer.Clear(false);
  EXPECT_TRUE(alive);
  EXPECT_EQ(rxBuffer.RowCount(), 0u);
  EXPECT_EQ(packets.NodeAt(0)->Data, object);
  packets.Clear();
  EXPECT_FALSE(alive);

  bool alive2 = false;
  TVexlinNode *row = rxBuffer.AddRow(new TProbeObject(16, &alive2));
  TVexlinDataObject *kept = row->Data;
  rxBuffer.RemoveRow(row, false);
  EXPECT_TRUE(alive2);
  delete kept;
}

// The list keeps what its rows hold as a running total: a packet counts its
// bytes and a log line its text, children too, and what leaves is taken off.
TEST(VexlinTreeRows, RowsMemoryFollowsRowsInAndOut) {
  TVexlinTree tree;
  EXPECT_EQ(tree.RowsMemory(), 0u);
  auto *small = new TVexlinDataBinary(QByteArray(10, 'a'), spRx);
  auto *big = new TVexlinDataBinary(QByteArray(100000, 'b'), spTx);
  auto *line = new TVexlinDataLog(QString(5000, u'x'), 0);
  const size_t smallSize = RowMemory(*small);
  const size_t bigSize = RowMemory(*big);
  const size_t lineSize = RowMemory(*line);
  EXPECT_EQ(bigSize - smallSize, 100000u - 10u);
  EXPECT_GE(lineSize - smallSize, 2 * 5000u - 10u);

  TVexlinNode *first = tree.AddRow(small);
  TVexlinNode *parent = tree.AddRow(big);
  tree.AddChild(parent, line);
  EXPECT_EQ(tree.RowsMemory(), smallSize + bigSize + lineSize);
  tree.RemoveRow(parent); // with its child
  EXPECT_EQ(tree.RowsMemory(), smallSize);
  tree.RemoveRow(first, false);
  EXPECT_EQ(tree.RowsMemory(), 0u);
  delete small;

  tree.AddRow(new TVexlinDataBinary(QByteArray(500, 'c'), spRx));
  tree.Clear();
  EXPECT_EQ(tree.RowsMemory(), 0u);
}

TEST(VexlinTreeRows, PositionsAgreeWithPlainSumsOnRandomHeights) {
  TVexlinTree tree;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> height(0, 70);
  std::vector<TProbeObject *> objects;
  // More than one block and one chunk boundary are crossed.
  for (int i = 0; i < 20000; ++i) {
    objects.push_back(new TProbeObject(height(random)));
    tree.AddRow(objects.back());
  }
  // Some children, one parent expanded, one collapsed.
  for (int parent : {5, 64, 19999}) {
    for (int c = 0; c < 3; ++c)
      tree.AddChild(tree.NodeAt(size_t(parent)), new TProbeObject(height(random)));
  }
  tree.SetExpanded(tree.NodeAt(5), true);
  tree.SetExpanded(tree.NodeAt(19999), true);
  // Unmeasured rows count with the default height.
  ExpectPositionsAgree(tree);
  for (size_t i = 0; i < tree.RowCount(); ++i) {
    tree.MeasureNode(tree.NodeAt(i));
    for (size_t c = 0; c < tree.NodeAt(i)->ChildCount(); ++c)
      tree.MeasureNode(tree.NodeAt(i)->Child(c));
  }
  ExpectPositionsAgree(tree);

  // New heights after a reset: measured lazily, positions stay consistent
  // before, during and after the re-measuring.
  for (TProbeObject *o : objects)
    o->fHeight = height(random);
  tree.ResetNodeHeights();
  ExpectPositionsAgree(tree);
  for (size_t i = 0; i < tree.RowCount(); i += 3)
    tree.MeasureNode(tree.NodeAt(i));
  ExpectPositionsAgree(tree);
  for (int spin = 0; spin < 100 && !tree.IsMeasured(tree.LastNode()); ++spin)
    QApplication::processEvents();
  EXPECT_TRUE(tree.IsMeasured(tree.LastNode()));
  EXPECT_EQ(tree.NodeAt(17)->Height, objects[17]->fHeight);
  ExpectPositionsAgree(tree);
}

TEST(VexlinTreeRows, ManyResetsKeepMeasuredFlagsHonest) {
  // The measuring epoch wraps after 255 resets; no row may look measured
  // with a stale height.
  TVexlinTree tree;
  auto *object = new TProbeObject(20);
  TVexlinNode *row = tree.AddRow(object);
  tree.MeasureNode(row);
  for (int i = 0; i < 600; ++i) {
    tree.ResetNodeHeights();
    ASSERT_FALSE(tree.IsMeasured(row)) << i;
    if (i == 300) {
      object->fHeight = 33;
      tree.MeasureNode(row);
      EXPECT_EQ(row->Height, 33);
    }
  }
}

TEST(VexlinTreeRows, ChildrenExpandAndCollapse) {
  TVexlinTree tree;
  tree.resize(400, 300);
  tree.SetColumns({"a", "b"}, {60, 200});
  TVexlinNode *parent = tree.AddRow(new TProbeObject(16));
  TVexlinNode *after = tree.AddRow(new TProbeObject(16));
  TVexlinNode *child = tree.AddChild(parent, new TProbeObject(10));
  TVexlinNode *grandChild = tree.AddChild(child, new TProbeObject(10));
  tree.MeasureNode(child);
  tree.MeasureNode(grandChild);
  EXPECT_EQ(child->Parent(), parent);
  EXPECT_EQ(tree.IndexOf(child), 0);
  // Collapsed by default: the children take no room.
  EXPECT_EQ(tree.TotalHeight(), 32);
  EXPECT_EQ(tree.NodeTop(child), -1);

  // A click on the parent's expand button opens it.
  const int buttonX = tree.header()->sectionViewportPosition(0) + TVexlinTree::kMargin + 6;
  Click(tree.viewport(), Qt::LeftButton, QPoint(buttonX, 7));
  EXPECT_TRUE(parent->Expanded);
  EXPECT_EQ(tree.NodeTop(child), 16);
  EXPECT_EQ(tree.NodeTop(after), 26);
  EXPECT_EQ(tree.NodeAt(QPoint(100, 20)), child);
  tree.SetExpanded(child, true);
  EXPECT_EQ(tree.NodeTop(grandChild), 26);
  EXPECT_EQ(tree.NodeTop(after), 36);
  ExpectPositionsAgree(tree);

  // Scrolling to a hidden row opens its parents.
  tree.SetExpanded(parent, false);
  EXPECT_EQ(tree.TotalHeight(), 32);
  tree.ScrollToNode(grandChild, false);
  EXPECT_TRUE(parent->Expanded);

  // Removing a child gives its room back; removing a row above a parent keeps
  // the moved parent's children attached to it.
  tree.RemoveRow(child);
  EXPECT_EQ(tree.TotalHeight(), 32);
  TVexlinNode *newChild = tree.AddChild(after, new TProbeObject(5));
  tree.SetExpanded(after, true);
  tree.RemoveRow(tree.NodeAt(0));
  ASSERT_EQ(tree.RowCount(), 1u);
  EXPECT_EQ(newChild->Parent(), tree.NodeAt(0));
  ExpectPositionsAgree(tree);
}

TEST(VexlinTreeRows, RandomEditsKeepChildrenWithTheirParents) {
  // Rows and children added and removed at random, checked against a plain
  // model after every step: every row keeps its object, its children and
  // their parent link when rows above it are removed, and every removed
  // object is deleted.
  struct TItem {
    TVexlinDataObject *object;
    const bool *alive;
  };
  struct TModelRow {
    TItem item;
    std::vector<TItem> children;
  };
  std::vector<TModelRow> model;
  std::deque<bool> alive;
  std::vector<TItem> removed;
  auto probe = [&](int height) {
    alive.push_back(false);
    return TItem{new TProbeObject(height, &alive.back()), &alive.back()};
  };

  TVexlinTree tree;
  std::mt19937 random(11);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  for (int step = 0; step < 600; ++step) {
    const int op = std::uniform_int_distribution<int>(0, 9)(random);
    if (model.empty() || op < 3) {
      const TItem o = probe(int(pick(30)));
      tree.AddRow(o.object);
      model.push_back({o, {}});
    } else if (op < 6) {
      const size_t r = pick(model.size());
      const TItem o = probe(int(pick(30)));
      tree.AddChild(tree.NodeAt(r), o.object);
      model[r].children.push_back(o);
    } else if (op < 8) {
      const size_t r = pick(model.size());
      removed.push_back(model[r].item);
      removed.insert(removed.end(), model[r].children.begin(), model[r].children.end());
      tree.RemoveRow(tree.NodeAt(r));
      model.erase(model.begin() + ptrdiff_t(r));
    } else if (op == 8) {
      const size_t r = pick(model.size());
      if (!model[r].children.empty()) {
        const size_t c = pick(model[r].children.size());
        removed.push_back(model[r].children[c]);
        tree.RemoveRow(tree.NodeAt(r)->Child(c));
        model[r].children.erase(model[r].children.begin() + ptrdiff_t(c));
      }
    } else {
      TVexlinNode *node = tree.NodeAt(pick(model.size()));
      tree.SetExpanded(node, !node->Expanded);
    }

    ASSERT_EQ(tree.RowCount(), model.size()) << step;
    for (size_t r = 0; r < model.size(); ++r) {
      TVexlinNode *node = tree.NodeAt(r);
      ASSERT_EQ(node->Data, model[r].item.object) << step;
      ASSERT_EQ(node->Parent(), nullptr) << step;
      ASSERT_EQ(tree.IndexOf(node), ptrdiff_t(r)) << step;
      ASSERT_EQ(node->ChildCount(), model[r].children.size()) << step;
      ASSERT_EQ(node->HasChildren(), !model[r].children.empty()) << step;
      for (size_t c = 0; c < model[r].children.size(); ++c) {
        TVexlinNode *child = node->Child(c);
        ASSERT_EQ(child->Data, model[r].children[c].object) << step;
        ASSERT_EQ(child->Parent(), node) << step;
        ASSERT_EQ(tree.IndexOf(child), ptrdiff_t(c)) << step;
        ASSERT_FALSE(child->HasChildren()) << step;
      }
    }
    for (const TItem &o : removed)
      ASSERT_FALSE(*o.alive) << step;
    ExpectPositionsAgree(tree);
  }

  // Clearing deletes every object still shown, children included.
  std::vector<TItem> shown;
  for (const TModelRow &row : model) {
    shown.push_back(row.item);
    shown.insert(shown.end(), row.children.begin(), row.children.end());
  }
  tree.Clear();
  EXPECT_EQ(tree.RowCount(), 0u);
  for (const TItem &o : shown)
    EXPECT_FALSE(*o.alive);
}

TEST(VexlinTreeColumns, HidingAColumnKeepsItsWidth) {
  TVexlinTree tree;
  tree.resize(600, 200);
  tree.SetColumns({"a", "b", "c"}, {40, 85, 300});
  tree.SetColumnWidth(1, 120);
  tree.SetColumnVisible(1, false);
  EXPECT_FALSE(tree.IsColumnVisible(1));
  EXPECT_EQ(tree.ColumnWidth(1), 120);
  tree.SetColumnVisible(1, true);
  EXPECT_TRUE(tree.IsColumnVisible(1));
  EXPECT_EQ(tree.header()->sectionSize(1), 120);
  EXPECT_FALSE(tree.IsColumnVisible(7));
}

TEST(VexlinTreeColumns, ColumnAtAndCellRects) {
  TVexlinTree tree;
  tree.resize(600, 200);
  tree.SetColumns({"a", "b", "c"}, {40, 85, 300});
  TVexlinNode *row = tree.AddRow(new TProbeObject(16));
  tree.AddRow(new TProbeObject(16));
  const struct {
    int x;
    int column;
  } cases[] = {{0, 0}, {39, 0}, {40, 1}, {124, 1}, {125, 2}};
  for (const auto &c : cases)
    EXPECT_EQ(tree.ColumnAt(QPoint(c.x, 5)), c.column) << c.x;
  EXPECT_EQ(tree.NodeCellRect(row, 1), QRect(40, 0, 85, 16));
  EXPECT_EQ(tree.NodeCellRect(tree.NodeAt(1), 0), QRect(0, 16, 40, 16));

  // A list without header has no columns: one cell over the whole width.
  tree.SetHeaderVisible(false);
  EXPECT_EQ(tree.ColumnAt(QPoint(50, 5)), NoColumn);
  EXPECT_EQ(tree.NodeCellRect(row, NoColumn).width(), tree.viewport()->width());
}

TEST(VexlinTreePaint, OnlyVisibleRowsAreMeasuredAndPainted) {
  TVexlinTree tree;
  tree.resize(300, 200);
  tree.SetColumns({"index", "data"}, {40, 200});
  std::vector<TProbeObject *> objects;
  {
    TVexlinTreeUpdate update(tree);
    for (int i = 0; i < 5000; ++i) {
      objects.push_back(new TProbeObject(20));
      tree.AddRow(objects.back());
    }
  }
  int cellsPainted = 0;
  tree.SetDrawNode([&](TVexlinPaintInfo &info) {
    ++cellsPainted;
    info.Node->Data->DrawNode(tree, info);
  });
  tree.ScrollToNode(tree.NodeAt(2500), true);
  QImage image(tree.size(), QImage::Format_RGB32);
  tree.render(&image);
  EXPECT_GT(cellsPainted, 0);
  EXPECT_LT(cellsPainted, 2 * 20); // two columns, about ten rows
  EXPECT_FALSE(objects[2500]->drawnRects.empty());
  EXPECT_TRUE(objects[0]->drawnRects.empty());
  EXPECT_EQ(objects[0]->measures, 0);
  EXPECT_EQ(objects[4999]->measures, 0);
}

TEST(VexlinTreePaint, FocusFrameIsDrawnOverTheRows) {
  TVexlinTree tree;
  tree.resize(300, 200);
  tree.SetHeaderVisible(false);
  tree.AddRow(new TProbeObject(16));
  tree.SetFocusFrame(QRect(10, 2, 20, 12), QRect());
  QImage image(tree.viewport()->size(), QImage::Format_RGB32);
  tree.viewport()->render(&image);
  EXPECT_EQ(image.pixelColor(10, 2), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(20, 8), QColor(Qt::white)); // the inside is untouched
  tree.SetFocusFrame(QRect(), QRect());
  tree.viewport()->render(&image);
  EXPECT_EQ(image.pixelColor(10, 2), QColor(Qt::white));
}

TEST(VexlinTreeMouse, RightClickFocusesRowAndRequestsMenu) {
  TVexlinTree tree;
  tree.resize(300, 200);
  tree.SetHeaderVisible(false);
  tree.AddRow(new TProbeObject(16));
  TVexlinNode *second = tree.AddRow(new TProbeObject(16));
  TVexlinNode *requested = nullptr;
  QObject::connect(&tree, &TVexlinTree::contextMenuRequested,
                   [&](TVexlinNode *node, QPoint) { requested = node; });
  Click(tree.viewport(), Qt::RightButton, QPoint(50, 20));
  EXPECT_EQ(tree.FocusedNode(), second);
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 20), QPoint(50, 20));
  QApplication::sendEvent(tree.viewport(), &event);
  EXPECT_EQ(requested, second);
  // Clearing the rows drops the focused handle.
  tree.Clear();
  EXPECT_EQ(tree.FocusedNode(), nullptr);
}

} // namespace
