#include "view/vexlintree.h"

#include "pipeline/dataobject.h"
#include "pipeline/dataobjectregistry.h"
#include "view/rowmemory.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <utility>

namespace {

// Scroll bars take int: beyond this many pixels one step covers several.
constexpr int64_t kMaxScrollSteps = int64_t(1) << 30;
// Rows measured per background slice: a few milliseconds of work.
constexpr size_t kBackgroundSlice = 65536;

} // namespace

TVexlinTree::TVexlinTree(QWidget *parent) : QAbstractScrollArea(parent) {
  fFont = QFont(QStringLiteral("Lucida Sans"));
  fFont.setPointSize(8);
  QAbstractScrollArea::setFont(fFont);

  fHeaderModel = new QStandardItemModel(0, 0, this);
  fHeader = new QHeaderView(Qt::Horizontal, this);
  fHeader->setModel(fHeaderModel);
  fHeader->setSectionsMovable(true);
  fHeader->setSectionsClickable(false);
  fHeader->setHighlightSections(false);
  fHeader->setStretchLastSection(true);
  fHeader->setSectionResizeMode(QHeaderView::Interactive);
  fHeader->setMinimumSectionSize(0);
  connect(fHeader, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
    if (logical < fWidths.size() && !fHeader->isSectionHidden(logical))
      fWidths[logical] = size;
    UpdateScrollBars();
    viewport()->update();
    emit columnResized(logical);
  });
  connect(fHeader, &QHeaderView::sectionMoved, this, [this] { viewport()->update(); });
  connect(fHeader, &QHeaderView::geometriesChanged, this, [this] { UpdateGeometries(); });

  fBackgroundMeasure = new QTimer(this);
  fBackgroundMeasure->setInterval(0);
  connect(fBackgroundMeasure, &QTimer::timeout, this, [this] { MeasureInBackground(); });

  fFrameTimer = new QTimer(this);
  fFrameTimer->setSingleShot(true);
  fFrameTimer->setTimerType(Qt::PreciseTimer);
  connect(fFrameTimer, &QTimer::timeout, this, [this] { Frame(); });
  fLastFrame.start();

  fRows.SetDefaultHeight(fDefaultNodeHeight);
  fRows.SetMeasurer([this](TVexlinNode &node) { return MeasureRow(node); });

  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  UpdateGeometries();
}

TVexlinTree::~TVexlinTree() {
  // A shown list hides its header while QWidget takes it apart: the header's
  // signals must not reach this part, which is gone by then.
  fHeader->disconnect(this);
  // Objects must not outlive their rows while still pointing at this view.
  fRows.Clear([](TVexlinDataObject *data) { delete data; });
}

// --- rows --------------------------------------------------------------------------

TVexlinNode *TVexlinTree::AddRow(TVexlinDataObject *data) {
  return AddChild(nullptr, data);
}

TVexlinNode *TVexlinTree::AddChild(TVexlinNode *parent, TVexlinDataObject *data) {
  TVexlinNode *node = parent ? fRows.AddChild(parent, data) : fRows.Append(data);
  if (data)
    fRowsMemory += RowMemory(*data);
  if (parent)
    fDeepestParent = std::max(fDeepestParent, fRows.Depth(parent));
  if (!IsUpdating())
    RequestFrame();
  return node;
}

void TVexlinTree::RemoveRow(TVexlinNode *node, bool deleteObjects) {
  if (!node || !fRows.Contains(node))
    return;
  RemoveRows([&](const TVexlinRows::Disposer &dispose) { fRows.Remove(node, dispose); },
             deleteObjects, false);
}

void TVexlinTree::Clear(bool deleteObjects) {
  fBackgroundMeasure->stop();
  fDeepestParent = -1;
  RemoveRows([&](const TVexlinRows::Disposer &dispose) { fRows.Clear(dispose); }, deleteObjects,
             true);
}

void TVexlinTree::RemoveRows(const std::function<void(const TVexlinRows::Disposer &)> &remove,
                             bool deleteObjects, bool removesAll) {
  ForgetRemovedHandles();
  // Indices of later rows change: the selection would name other rows.
  const bool hadSelection = !fSelection.IsEmpty();
  fSelection.Clear();
  // Emptied, the list holds nothing; otherwise each removed row is counted
  // off (its object may have grown since it came, hence the floor).
  remove([this, deleteObjects, removesAll](TVexlinDataObject *data) {
    if (data && !removesAll)
      fRowsMemory -= std::min(fRowsMemory, RowMemory(*data));
    if (deleteObjects)
      delete data;
  });
  if (removesAll || fRows.Count() == 0)
    fRowsMemory = 0;
  if (!IsUpdating())
    RequestFrame();
  emit rowsRemoved();
  if (hadSelection)
    emit selectionChanged();
}

void TVexlinTree::ForgetRemovedHandles() {
  // Handles into removed rows must not be used afterwards; the frame belongs
  // to a row that may be gone.
  fFocused = nullptr;
  fFrameScrollNode = nullptr;
  fAnchored = false;
  fAnchorNode = nullptr;
  SetFocusFrame(QRect(), QRect());
}

TVexlinNode *TVexlinTree::LastNode() const {
  return fRows.Count() == 0 ? nullptr : fRows.At(fRows.Count() - 1);
}

TVexlinNode *TVexlinTree::NodeAt(QPoint pos) const {
  if (!viewport()->rect().contains(pos))
    return nullptr;
  return fRows.AtY(ScrollY() + pos.y());
}

int64_t TVexlinTree::NodeTop(const TVexlinNode *node) const {
  return node ? fRows.Top(*node) : -1;
}

void TVexlinTree::SetExpanded(TVexlinNode *node, bool expanded) {
  if (!node)
    return;
  fRows.SetExpanded(*node, expanded);
  if (!IsUpdating()) {
    UpdateScrollBars();
    viewport()->update();
  }
}

void TVexlinTree::SetRowFilter(TVexlinRows::RowFilter keep) {
  const bool filtering = bool(keep);
  fRows.SetRowFilter(std::move(keep));
  if (filtering)
    fSelection.SetShownRows([this](size_t row) { return IsRowShown(row); });
  else
    fSelection.SetShownRows(nullptr);
}

void TVexlinTree::ApplyRowFilter(size_t from, size_t to) {
  fRows.ApplyRowFilter(from, to);
  if (!IsUpdating()) {
    UpdateScrollBars();
    viewport()->update();
  }
}

bool TVexlinTree::IsSelected(const TVexlinNode *node) const {
  if (!node || fSelection.IsEmpty())
    return false;
  while (node->Parent())
    node = node->Parent();
  const ptrdiff_t index = fRows.TopIndex(node);
  return index >= 0 && fSelection.Contains(static_cast<size_t>(index));
}

void TVexlinTree::SelectByClick(TVexlinNode *node, Qt::KeyboardModifiers modifiers) {
  if (!node)
    return;
  while (node->Parent())
    node = node->Parent();
  const ptrdiff_t index = fRows.TopIndex(node);
  if (index < 0)
    return;
  const auto row = static_cast<size_t>(index);
  if (modifiers & Qt::ShiftModifier)
    fSelection.ExtendTo(row);
  else if (modifiers & Qt::ControlModifier)
    fSelection.Toggle(row);
  else
    fSelection.SelectOnly(row);
  viewport()->update();
  emit selectionChanged();
}

void TVexlinTree::keyPressEvent(QKeyEvent *event) {
  if (event->matches(QKeySequence::SelectAll)) {
    fSelection.SelectAll(RowCount());
    viewport()->update();
    emit selectionChanged();
    return;
  }
  const bool up = event->key() == Qt::Key_Up;
  if ((!up && event->key() != Qt::Key_Down) || RowCount() == 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  // The next shown top-level row above or below the selection's moving end.
  size_t row = fSelection.IsEmpty() ? (up ? RowCount() : size_t(-1)) : fSelection.Cursor();
  for (;;) {
    if (up ? row == 0 : row + 1 >= RowCount())
      return;
    row = up ? row - 1 : row + 1;
    if (IsNodeVisible(NodeAt(row)))
      break;
  }
  if (event->modifiers() & Qt::ShiftModifier && !fSelection.IsEmpty())
    fSelection.ExtendTo(row);
  else
    fSelection.SelectOnly(row);
  fFocused = NodeAt(row);
  ScrollToNode(fFocused, false);
  viewport()->update();
  emit selectionChanged();
}

void TVexlinTree::EndUpdate() {
  if (fUpdateCount == 0 || --fUpdateCount > 0)
    return;
  RequestFrame();
}

void TVexlinTree::RequestFrame() {
  if (fFrameTimer->isActive())
    return;
  const qint64 since = fLastFrame.elapsed();
  fFrameTimer->start(static_cast<int>(std::max<qint64>(0, kFrameMs - since)));
}

bool TVexlinTree::IsFramePending() const {
  return fFrameTimer->isActive();
}

void TVexlinTree::Frame() {
  if (IsUpdating())
    return; // the last EndUpdate asks again
  fLastFrame.restart();
  emit frameStarting();
  UpdateScrollBars();
  if (TVexlinNode *node = std::exchange(fFrameScrollNode, nullptr))
    ScrollToNode(node, fFrameScrollCentre);
  viewport()->update();
}

// --- heights and scrolling -----------------------------------------------------------

int TVexlinTree::LayoutWidth() const {
  if (fHeaderVisible && ColumnCount() > DataColumn)
    return IsColumnVisible(DataColumn) ? CellWidth(DataColumn) : ColumnWidth(DataColumn);
  return viewport()->width();
}

int TVexlinTree::CellWidth(int column) const {
  const int width = fHeader->sectionSize(column);
  if (column != DataColumn)
    return width;
  // The data column wraps its bytes inside the viewport: a stretched last
  // column can reach past it, and a byte there would be out of sight.
  return std::clamp(viewport()->width() - fHeader->sectionPosition(column), 1, std::max(1, width));
}

void TVexlinTree::ApplyLayout() {
  // Arithmetic per row kind: cheap enough for every paint and mouse move.
  ResizeVirtualTreeAllClasses(*this, LayoutWidth());
}

int TVexlinTree::MeasureRow(TVexlinNode &node) {
  int height = fDefaultNodeHeight;
  if (node.Data)
    node.Data->MeasureHeight(*this, fPaintingPainter, &node, height);
  return height;
}

void TVexlinTree::MeasureNode(TVexlinNode *node) {
  if (node && !fRows.IsMeasured(*node) && !fPaintingPainter)
    ApplyLayout();
  if (node && fRows.Measure(*node) && !IsUpdating())
    ScheduleScrollBarUpdate();
}

void TVexlinTree::ResetNodeHeight(TVexlinNode *node) {
  if (node)
    fRows.MarkUnmeasured(*node);
}

void TVexlinTree::ResetNodeHeights(TKeepInView keep) {
  fAnchorWanted = keep;
  // A resize in steps keeps what it began with.
  if (!fAnchored && fRows.Count() > 0) {
    TakeAnchor();
    fAnchored = true;
  }
  fRows.MarkAllUnmeasured();
  // Rows out of sight keep their old height as an estimate until measured;
  // the background pass corrects them so the scroll range settles.
  fBackgroundRow = 0;
  if (fRows.Count() > 0)
    fBackgroundMeasure->start();
}

void TVexlinTree::MeasureInBackground() {
  ApplyLayout();
  fBackgroundRow = fRows.MeasureRange(fBackgroundRow, kBackgroundSlice);
  if (fBackgroundRow < fRows.Count()) {
    ScheduleScrollBarUpdate();
    return;
  }
  fBackgroundMeasure->stop();
  // Every height is known: the last correction, then the list scrolls freely.
  UpdateScrollBars();
  fAnchored = false;
  fAnchorNode = nullptr;
}

void TVexlinTree::TakeAnchor() {
  const int64_t y = ScrollY();
  int64_t top = 0;
  fAnchorNode = fRows.AtY(y, &top);
  fAnchorOffset = fAnchorNode ? y - top : 0;
  // The end is shown while the last row is, if only in part.
  int64_t lastTop = 0;
  const bool atEnd = TotalHeight() == 0 ||
                     (fRows.AtY(TotalHeight() - 1, &lastTop) && lastTop < y + viewport()->height());
  fAnchorKeep = fAnchorWanted == KeepEnd && atEnd ? KeepEnd : KeepTopRow;
}

void TVexlinTree::KeepAnchorInView() {
  int64_t y = -1;
  if (fAnchorKeep == KeepEnd)
    y = TotalHeight();
  else if (fAnchorNode && fRows.IsVisible(*fAnchorNode))
    y = fRows.Top(*fAnchorNode) + std::min<int64_t>(fAnchorOffset, fAnchorNode->Height);
  if (y < 0)
    return;
  const bool was = std::exchange(fScrollingItself, true);
  fHoldingAnchor = true;
  SetScrollY(y);
  fHoldingAnchor = false;
  fScrollingItself = was;
}

int64_t TVexlinTree::ScrollY() const {
  const int64_t maxY = std::max<int64_t>(0, TotalHeight() - viewport()->height());
  return std::min(int64_t(verticalScrollBar()->value()) * fScrollUnit, maxY);
}

void TVexlinTree::SetScrollY(int64_t y) {
  UpdateScrollBars();
  y = std::max<int64_t>(0, y);
  verticalScrollBar()->setValue(static_cast<int>((y + fScrollUnit - 1) / fScrollUnit));
}

void TVexlinTree::ScrollToNode(TVexlinNode *node, bool centreVertically) {
  if (!node || !fRows.Contains(node))
    return;
  // A scroll asked for now replaces one still waiting for the frame.
  fFrameScrollNode = nullptr;
  for (TVexlinNode *p = node->Parent(); p; p = p->Parent())
    fRows.SetExpanded(*p, true);
  MeasureNode(node);
  const int64_t page = viewport()->height();
  const int64_t y = ScrollY();
  int64_t target = y;
  // The rows that come into sight are measured before the row is placed:
  // measured later, at the paint, they would push it out of place.
  for (int pass = 0; pass < 4; ++pass) {
    const int64_t top = fRows.Top(*node);
    const int64_t height = node->Height;
    target = y;
    if (centreVertically)
      target = top - (page - height) / 2;
    else if (top < y || height > page)
      target = top;
    else if (top + height > y + page)
      target = top + height - page;
    if (!MeasurePage(target))
      break;
  }
  SetScrollY(target);
}

bool TVexlinTree::MeasurePage(int64_t y) {
  const int64_t page = viewport()->height();
  y = std::clamp<int64_t>(y, 0, std::max<int64_t>(0, TotalHeight() - page));
  ApplyLayout();
  bool changed = false;
  int64_t top = 0;
  for (TVexlinNode *node = fRows.AtY(y, &top); node && top < y + page;
       node = fRows.NextVisible(*node)) {
    changed = fRows.Measure(*node) || changed;
    top += node->Height;
  }
  return changed;
}

void TVexlinTree::ScrollToNodeOnFrame(TVexlinNode *node, bool centreVertically) {
  if (!node)
    return;
  fFrameScrollNode = node;
  fFrameScrollCentre = centreVertically;
  RequestFrame();
}

void TVexlinTree::ScheduleScrollBarUpdate() {
  if (fScrollBarUpdatePending)
    return;
  fScrollBarUpdatePending = true;
  // Not from inside a paint: a range change may scroll the viewport.
  QMetaObject::invokeMethod(
      this,
      [this] {
        fScrollBarUpdatePending = false;
        if (!IsUpdating())
          UpdateScrollBars();
      },
      Qt::QueuedConnection);
}

void TVexlinTree::UpdateScrollBars() {
  const bool was = std::exchange(fScrollingItself, true);
  const int64_t page = viewport()->height();
  const int64_t maxY = std::max<int64_t>(0, TotalHeight() - page);
  const int64_t unit = maxY / kMaxScrollSteps + 1;
  QScrollBar *v = verticalScrollBar();
  const int64_t y = ScrollY();
  const bool unitChanged = unit != fScrollUnit;
  fScrollUnit = unit;
  v->setRange(0, static_cast<int>((maxY + unit - 1) / unit));
  v->setPageStep(static_cast<int>(std::max<int64_t>(1, page / unit)));
  v->setSingleStep(static_cast<int>(std::max<int64_t>(1, fDefaultNodeHeight / unit)));
  if (unitChanged)
    v->setValue(static_cast<int>(y / unit));

  const int contentWidth = fHeaderVisible ? fHeader->length() : viewport()->width();
  QScrollBar *h = horizontalScrollBar();
  h->setRange(0, std::max(0, contentWidth - viewport()->width()));
  h->setPageStep(std::max(1, viewport()->width()));
  h->setSingleStep(20);
  if (fAnchored && !was)
    KeepAnchorInView();
  fScrollingItself = was;
}

// --- columns ------------------------------------------------------------------------

void TVexlinTree::SetColumns(const QStringList &titles, const QList<int> &widths) {
  fHeaderModel->setColumnCount(static_cast<int>(titles.size()));
  fHeaderModel->setHorizontalHeaderLabels(titles);
  fWidths = widths;
  fWidths.resize(titles.size(), 100);
  for (int c = 0; c < fWidths.size(); ++c)
    fHeader->resizeSection(c, fWidths[c]);
  UpdateGeometries();
}

void TVexlinTree::SetHeaderVisible(bool visible) {
  fHeaderVisible = visible;
  UpdateGeometries();
}

void TVexlinTree::SetHeaderHeight(int height) {
  fHeader->setFixedHeight(height);
  UpdateGeometries();
}

int TVexlinTree::ColumnCount() const {
  return fHeader->count();
}

void TVexlinTree::SetColumnVisible(int column, bool visible) {
  if (column < 0 || column >= ColumnCount() || IsColumnVisible(column) == visible)
    return;
  fHeader->setSectionHidden(column, !visible);
  if (visible && column < fWidths.size())
    fHeader->resizeSection(column, fWidths[column]);
  UpdateScrollBars();
  viewport()->update();
}

bool TVexlinTree::IsColumnVisible(int column) const {
  return column >= 0 && column < ColumnCount() && !fHeader->isSectionHidden(column);
}

int TVexlinTree::ColumnWidth(int column) const {
  if (column < 0 || column >= ColumnCount())
    return 0;
  if (!fHeader->isSectionHidden(column))
    return fHeader->sectionSize(column);
  return column < fWidths.size() ? fWidths[column] : 0;
}

void TVexlinTree::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= ColumnCount())
    return;
  if (column < fWidths.size())
    fWidths[column] = width;
  if (!fHeader->isSectionHidden(column))
    fHeader->resizeSection(column, width);
}

void TVexlinTree::SetDefaultNodeHeight(int height) {
  fDefaultNodeHeight = height;
  fRows.SetDefaultHeight(height);
}

void TVexlinTree::SetFont(const QFont &font) {
  fFont = font;
  QAbstractScrollArea::setFont(font);
  viewport()->update();
}

void TVexlinTree::UpdateGeometries() {
  const int headerHeight = fHeaderVisible ? fHeader->sizeHint().height() : 0;
  setViewportMargins(0, headerHeight, 0, 0);
  const QRect vg = viewport()->geometry();
  fHeader->setGeometry(vg.left(), vg.top() - headerHeight, vg.width(), headerHeight);
  fHeader->setVisible(fHeaderVisible);
  UpdateScrollBars();
}

// --- TVexlinView -----------------------------------------------------------------------

QRect TVexlinTree::RowRect(const TVexlinNode *node) const {
  const int64_t top = NodeTop(node);
  if (top < 0)
    return {};
  const int64_t y = top - ScrollY();
  if (y > viewport()->height() || y + node->Height < 0)
    return {};
  return QRect(0, static_cast<int>(y), viewport()->width(), node->Height);
}

void TVexlinTree::InvalidateNode(TVexlinNode *node) {
  if (IsUpdating() || !node || !fRows.Contains(node))
    return;
  if (!RowRect(node).isEmpty())
    RequestFrame();
}

void TVexlinTree::Invalidate() {
  if (!IsUpdating())
    RequestFrame();
}

void TVexlinTree::SetCursor(TCursor cursor) {
  switch (cursor) {
  case crHandPoint:
    viewport()->setCursor(Qt::PointingHandCursor);
    break;
  case crDrag:
    viewport()->setCursor(Qt::DragMoveCursor);
    break;
  default:
    viewport()->setCursor(Qt::ArrowCursor);
    break;
  }
}

void TVexlinTree::HideInfoWindow() {
  if (fInfoWindow)
    fInfoWindow->Hide();
}

int TVexlinTree::ColumnAt(QPoint pos) const {
  if (!fHeaderVisible || ColumnCount() == 0)
    return NoColumn;
  const int column = fHeader->logicalIndexAt(pos.x());
  return column < 0 ? NoColumn : column;
}

QRect TVexlinTree::NodeCellRect(TVexlinNode *node, int column) const {
  const QRect row = RowRect(node);
  if (row.isEmpty())
    return {};
  QRect cell = row;
  if (fHeaderVisible && ColumnCount() > 0) {
    if (!IsColumnVisible(column))
      return {};
    cell.setLeft(fHeader->sectionViewportPosition(column));
    cell.setWidth(CellWidth(column));
  }
  return cell.intersected(viewport()->rect());
}

QPoint TVexlinTree::MapToGlobal(QPoint pos) const {
  return viewport()->mapToGlobal(pos);
}

void TVexlinTree::UpdateFrameRegion(const QRect &r) {
  if (!r.isEmpty())
    viewport()->update(r.adjusted(-1, -1, 1, 1));
}

void TVexlinTree::SetFocusFrame(const QRect &hexCell, const QRect &charCell) {
  if (hexCell == fFrameHex && charCell == fFrameChar)
    return;
  // Only the strips under the old and new frames are repainted.
  UpdateFrameRegion(fFrameHex);
  UpdateFrameRegion(fFrameChar);
  fFrameHex = hexCell;
  fFrameChar = charCell;
  UpdateFrameRegion(fFrameHex);
  UpdateFrameRegion(fFrameChar);
}

// --- painting ----------------------------------------------------------------------

std::vector<TVexlinTree::TCell> TVexlinTree::Cells(int top, int height) const {
  std::vector<TCell> cells;
  if (!fHeaderVisible || ColumnCount() == 0) {
    cells.push_back({NoColumn, QRect(0, top, viewport()->width(), height)});
    return cells;
  }
  for (int visual = 0; visual < ColumnCount(); ++visual) {
    const int column = fHeader->logicalIndex(visual);
    if (fHeader->isSectionHidden(column))
      continue;
    cells.push_back(
        {column, QRect(fHeader->sectionViewportPosition(column), top, CellWidth(column), height)});
  }
  return cells;
}

int TVexlinTree::MainColumnWidthFor(int textWidth) const {
  // See ExpandButtonRect and PaintRow: a button takes kIndent beside the
  // row's own indentation.
  if (fDeepestParent < 0)
    return kMargin + textWidth + kMargin;
  const int button = kMargin + fDeepestParent * kIndent + 2 + 9 + kMargin;
  return std::max(button, kMargin + kIndent + textWidth + kMargin);
}

QRect TVexlinTree::ExpandButtonRect(const TVexlinNode &node, const QRect &cell) const {
  const int left = cell.left() + kMargin + fRows.Depth(&node) * kIndent;
  const int lineHeight = std::min(cell.height(), fDefaultNodeHeight);
  return QRect(left + 2, cell.top() + (lineHeight - 9) / 2, 9, 9);
}

void TVexlinTree::PaintRow(QPainter &painter, TVexlinNode &node, const QRect &rowRect,
                           const QRect &dirty) {
  for (const TCell &cell : Cells(rowRect.top(), rowRect.height())) {
    const QRect clip = cell.rect.intersected(dirty);
    if (clip.isEmpty())
      continue;
    painter.save();
    painter.setClipRect(clip);
    painter.setFont(fFont);
    if (fBeforeCellPaint)
      fBeforeCellPaint(painter, node, cell.column, cell.rect);
    TVexlinPaintInfo info;
    info.Canvas = &painter;
    info.Node = &node;
    info.Column = cell.column;
    info.CellRect = cell.rect;
    info.ContentRect = cell.rect.adjusted(kMargin, 0, -kMargin, 0);
    if (cell.column == fMainColumn || cell.column == NoColumn) {
      int indent = fRows.Depth(&node) * kIndent;
      if (node.HasChildren()) {
        const QRect button = ExpandButtonRect(node, cell.rect);
        painter.setPen(Qt::gray);
        painter.setBrush(Qt::white);
        painter.drawRect(button.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        const QPoint c = button.center();
        painter.drawLine(c.x() - 2, c.y(), c.x() + 2, c.y());
        if (!node.Expanded)
          painter.drawLine(c.x(), c.y() - 2, c.x(), c.y() + 2);
        indent += kIndent;
      }
      info.ContentRect.setLeft(info.ContentRect.left() + indent);
    }
    if (fDrawNode)
      fDrawNode(info);
    painter.restore();
  }
}

void TVexlinTree::paintEvent(QPaintEvent *event) {
  QPainter painter(viewport());
  const QRect dirty = event->rect();
  painter.fillRect(dirty, Qt::white);
  ApplyLayout();
  fPaintingPainter = &painter;
  const int64_t scrollY = ScrollY();
  int64_t top = 0;
  TVexlinNode *node = fRows.AtY(scrollY + dirty.top(), &top);
  bool heightsChanged = false;
  while (node && top - scrollY <= dirty.bottom()) {
    heightsChanged = fRows.Measure(*node) || heightsChanged;
    const QRect rowRect(0, static_cast<int>(top - scrollY), viewport()->width(), node->Height);
    if (node->Height > 0)
      PaintRow(painter, *node, rowRect, dirty);
    top += node->Height;
    node = fRows.NextVisible(*node);
  }
  fPaintingPainter = nullptr;
  // The frame around the byte under the mouse: red on a white outline so it
  // shows on any row colour.
  for (const QRect &frame : {fFrameHex, fFrameChar}) {
    if (frame.isEmpty())
      continue;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame.adjusted(-1, -1, 0, 0));
    painter.setPen(QPen(Qt::red, 1));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
  }
  if (heightsChanged) {
    // Rows below a re-measured row moved: show them at their new place.
    ScheduleScrollBarUpdate();
    viewport()->update();
  }
}

void TVexlinTree::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateGeometries();
  emit resized();
}

void TVexlinTree::scrollContentsBy(int dx, int dy) {
  // Scrolled by the user or to a row asked for: that is what stays in
  // sight while heights still change.
  if (dy != 0 && !fScrollingItself && fAnchored)
    TakeAnchor();
  if (dx != 0)
    fHeader->setOffset(horizontalScrollBar()->value());
  // Holding the anchor moves the rows above the view, not what it shows.
  if (!fHoldingAnchor)
    viewport()->update();
  emit scrolled(dx,
                static_cast<int>(std::clamp<int64_t>(int64_t(dy) * fScrollUnit, INT_MIN, INT_MAX)));
}

// --- mouse ----------------------------------------------------------------------------

void TVexlinTree::mouseMoveEvent(QMouseEvent *event) {
  ApplyLayout();
  emit mouseMoved(event->buttons(), event->modifiers(), event->position().toPoint());
}

void TVexlinTree::mousePressEvent(QMouseEvent *event) {
  const QPoint pos = event->position().toPoint();
  TVexlinNode *node = NodeAt(pos);
  if (node && event->button() == Qt::LeftButton && node->HasChildren()) {
    const int column = ColumnAt(pos);
    if (column == fMainColumn || column == NoColumn) {
      const QRect row = RowRect(node);
      QRect cell = row;
      if (column != NoColumn)
        cell = QRect(fHeader->sectionViewportPosition(column), row.top(), CellWidth(column),
                     row.height());
      if (ExpandButtonRect(*node, cell).adjusted(-2, -2, 2, 2).contains(pos)) {
        SetExpanded(node, !node->Expanded);
        return;
      }
    }
  }
  // Any click, the right one included, makes the row under the mouse the
  // focused one; there is no selection colour.
  fFocused = node;
  ApplyLayout();
  emit mousePressed(event->button(), event->modifiers(), pos);
}

void TVexlinTree::mouseDoubleClickEvent(QMouseEvent *event) {
  if (TVexlinNode *node = NodeAt(event->position().toPoint()))
    emit doubleClicked(node);
}

void TVexlinTree::contextMenuEvent(QContextMenuEvent *event) {
  TVexlinNode *node = event->reason() == QContextMenuEvent::Mouse ? NodeAt(event->pos()) : fFocused;
  emit contextMenuRequested(node, event->globalPos());
  event->accept();
}
