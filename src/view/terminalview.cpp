#include "view/terminalview.h"

#include "pipeline/dataobject.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/dataobjectwithmenu.h"
#include "view/timecell.h"
#include "view/vexlinmenu.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMenu>

namespace {

constexpr TColor kIndexBackground = 0xC8C8C8;
constexpr TColor kTimeBackground = 0xE6E6E6;
constexpr int kIndexWidth = 40;
// Where the text of the index and time cells starts in their content.
constexpr int kCellTextOffset = 3;

// Text of the index and time cells, top-left anchored like the data column.
void DrawCellText(QPainter &painter, const QRect &content, const QString &text) {
  const QRect r = content.adjusted(kCellTextOffset, 0, 0, 0);
  painter.setPen(Qt::black);
  painter.drawText(QRect(r.left(), r.top() + 1, qMax(0, r.width()), r.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

// The width of any row number with as many digits as `largest`.
int RowNumberWidth(const QFont &font, size_t largest) {
  const QFontMetrics metrics(font);
  int digit = 0;
  for (char16_t c = u'0'; c <= u'9'; ++c)
    digit = qMax(digit, metrics.horizontalAdvance(QChar(c)));
  int digits = 1;
  for (; largest >= 10; largest /= 10)
    ++digits;
  return digits * digit;
}

} // namespace

TTerminalView::TTerminalView(TVexlinTree &tree, TVexlinMouseDispatch *dispatch)
    : QObject(&tree), fTree(tree), fDispatch(dispatch ? dispatch : new TVexlinMouseDispatch(this)),
      fViewerMenu(new QMenu(&tree)) {
  fTree.setObjectName(QStringLiteral("vstTerminal"));
  fViewerMenu->setObjectName(QStringLiteral("pmViewer"));
  fTree.SetColumns({QStringLiteral("index"), QStringLiteral("time"), QStringLiteral("address"),
                    QStringLiteral("data")},
                   {kIndexWidth, 85, 75, 563});
  fIndexFitted = kIndexWidth;
  fTree.SetColumnVisible(ColumnAddress, false);
  fTree.SetMainColumn(ColumnIndex);

  fTree.SetBeforeCellPaint(
      [this](QPainter &painter, TVexlinNode &node, int column, const QRect &cell) {
        BeforeCellPaint(painter, node, column, cell);
      });
  fTree.SetDrawNode([this](TVexlinPaintInfo &info) { DrawNode(info); });
  fDispatch->Attach(fTree);
  connect(&fTree, &TVexlinTree::mousePressed, this, &TTerminalView::MousePressed);
  connect(&fTree, &TVexlinTree::contextMenuRequested, this, &TTerminalView::ContextMenuRequested);
  connect(&fTree, &TVexlinTree::scrolled, this, &TTerminalView::Scrolled);
  connect(&fTree, &TVexlinTree::frameStarting, this, &TTerminalView::FitIndexColumn);
  connect(&fTree, &TVexlinTree::resized, this, &TTerminalView::Relayout);
  connect(&fTree, &TVexlinTree::columnResized, this, [this](int column) {
    // The data column stretches, so its width follows the address column
    // and the window; the rows' layout depends on it.
    if (column == ColumnAddress || column == ColumnData)
      Relayout();
  });
}

void TTerminalView::SetTimeDif(TDateTime timeDif) {
  fTimeDif = timeDif;
  fTree.Invalidate();
}

void TTerminalView::SetAutoScroll(bool on) {
  if (on == fAutoScroll)
    return;
  fAutoScroll = on;
  if (on)
    fTree.ScrollToNode(fTree.LastNode(), false);
  emit autoScrollChanged(on);
}

void TTerminalView::SetColumnVisibility(int column, bool visible) {
  if (fTree.IsColumnVisible(column) == visible)
    return;
  fTree.SetColumnVisible(column, visible);
  Relayout();
}

void TTerminalView::ToggleColumnVisibility(int column) {
  SetColumnVisibility(column, !fTree.IsColumnVisible(column));
}

void TTerminalView::Relayout() {
  fTree.ApplyLayout();
  // Rows change height: the newest stay in sight while they are followed
  // and shown, else the row at the top stays there.
  fTree.ResetNodeHeights(fAutoScroll ? TVexlinTree::KeepEnd : TVexlinTree::KeepTopRow);
  fTree.Invalidate();
}

void TTerminalView::FitIndexColumn() {
  QFont plain = fTree.Font();
  plain.setBold(false);
  const size_t count = fTree.RowCount();
  const int need =
      qMax(kIndexWidth, fTree.MainColumnWidthFor(kCellTextOffset +
                                                 RowNumberWidth(plain, count ? count - 1 : 0)));
  const int current = fTree.ColumnWidth(ColumnIndex);
  if (need > current || (need < current && current == fIndexFitted)) {
    fIndexFitted = need;
    fTree.SetColumnWidth(ColumnIndex, need);
  }
}

void TTerminalView::FlushNodeItem(TVexlinNode *node) {
  if (!fAutoScroll || !node)
    return;
  // On the next frame: rows arriving faster than frames are not measured or
  // scrolled to one by one.
  fTree.ScrollToNodeOnFrame(node, true);
}

TVexlinNode *TTerminalView::AppendChain(TVexlinDataObject *first) {
  if (!first)
    return nullptr;
  TVexlinNode *last = nullptr;
  {
    TVexlinTreeUpdate update(fTree);
    TVexlinDataObject *next = nullptr;
    try {
      for (TVexlinDataObject *object = first; object; object = next) {
        next = object->NextDataObj;
        // The row owns the object now; it leaves the queue's chain.
        object->PrevDataObj = nullptr;
        object->NextDataObj = nullptr;
        if (next)
          next->PrevDataObj = nullptr;
        object->ParentVDT = &fTree;
        last = fTree.AddRow(object);
      }
    } catch (...) {
      // The objects not yet shown belong to no one else: free them.
      FreeDataObjectChain(next);
      throw;
    }
  }
  FlushNodeItem(last);
  return last;
}

bool TTerminalView::PrepareViewerMenu(TVexlinNode *node) {
  fViewerMenu->clear();
  auto *withMenu = node ? dynamic_cast<TVexlinDataObject_WithMenu *>(node->Data) : nullptr;
  if (withMenu) {
    TVexlinQMenu menu(*fViewerMenu);
    withMenu->PrepareMenu(menu);
  }
  return !fViewerMenu->isEmpty();
}

void TTerminalView::ContextMenuRequested(TVexlinNode *node, QPoint globalPos) {
  const bool links = PrepareViewerMenu(node);
  if (!fTree.Selection().IsEmpty() && AddSelectionEntries) {
    if (links)
      fViewerMenu->addSeparator();
    AddSelectionEntries(*fViewerMenu);
  }
  if (!fViewerMenu->isEmpty())
    fViewerMenu->popup(globalPos);
}

void TTerminalView::MousePressed(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
  if (TVexlinNode *node = fTree.NodeAt(pos)) {
    // A right click keeps a selection it lands in, for the menu to act on.
    if (button == Qt::LeftButton || (button == Qt::RightButton && !fTree.IsSelected(node)))
      fTree.SelectByClick(node, button == Qt::LeftButton ? shift : Qt::NoModifier);
  }
  if (TVexlinNode *node = fTree.NodeAt(pos); node && node->Data)
    node->Data->DoMouseDown(fTree, button, shift, pos.x(), pos.y());
  if (button != Qt::LeftButton || fTree.ColumnAt(pos) != ColumnTime)
    return;
  // Looked up again: a link clicked above may have changed the rows.
  TVexlinNode *node = fTree.NodeAt(pos);
  if (!node)
    return;
  const TDateTime time = node->Data ? node->Data->Time : 0;
  SetTimeDif(fTimeDif != time ? time : 0);
}

void TTerminalView::Scrolled() {
  // The rows moved under a resting mouse: the byte under it changed. The
  // scroll itself repainted the list.
  const QPoint pos = fTree.viewport()->mapFromGlobal(QCursor::pos());
  fDispatch->MouseMove(fTree, Qt::NoModifier, pos);
}

void TTerminalView::BeforeCellPaint(QPainter &painter, TVexlinNode &node, int column,
                                    const QRect &cell) {
  // Selected rows show the highlight in their number, time and address
  // cells; the data keeps its own backgrounds.
  if (column != ColumnData && fTree.IsSelected(&node)) {
    painter.fillRect(cell, fTree.palette().color(QPalette::Highlight));
    return;
  }
  switch (column) {
  case ColumnIndex:
    painter.fillRect(cell, ToQColor(kIndexBackground));
    break;
  case ColumnTime:
    painter.fillRect(cell, ToQColor(kTimeBackground));
    break;
  default:
    if (node.Data)
      painter.fillRect(cell, ToQColor(node.Data->GetBckColor()));
    break;
  }
}

void TTerminalView::DrawNode(TVexlinPaintInfo &info) {
  QPainter &painter = *info.Canvas;
  TVexlinNode &node = *info.Node;
  QFont plain = fTree.Font();
  plain.setBold(false);
  painter.setFont(plain);
  fTree.MeasureNode(&node);
  const bool topLevel = node.Parent() == nullptr;
  switch (info.Column) {
  case ColumnIndex:
    if (fTree.IsSelected(&node))
      painter.setPen(fTree.palette().color(QPalette::HighlightedText));
    if (topLevel)
      DrawCellText(painter, info.ContentRect, QString::number(fTree.IndexOf(&node)));
    break;
  case ColumnTime:
    if (topLevel && node.Data)
      DrawCellText(painter, info.ContentRect, TimeCellText(node.Data->Time, fTimeDif));
    break;
  case ColumnData:
    if (node.Data) {
      TVexlinDataObject::LeftDataOffset = 0;
      node.Data->DrawNode(fTree, info);
    }
    if (fTree.IsSelected(&node)) {
      QColor tint = fTree.palette().color(QPalette::Highlight);
      tint.setAlpha(48);
      painter.fillRect(info.CellRect, tint);
    }
    break;
  default:
    break;
  }
}

void SetupRxBufferView(TVexlinTree &tree, TVexlinMouseDispatch &dispatch) {
  tree.setObjectName(QStringLiteral("vstRxBuffer"));
  tree.SetHeaderVisible(false);
  tree.SetDrawNode([&tree](TVexlinPaintInfo &info) {
    if (!info.Node->Data)
      return;
    TVexlinDataObject::LeftDataOffset = 0;
    info.Node->Data->DrawNode(tree, info);
  });
  QObject::connect(&tree, &TVexlinTree::resized, &tree, [&tree] {
    tree.ResetNodeHeights();
    tree.Invalidate();
  });
  dispatch.Attach(tree);
}
