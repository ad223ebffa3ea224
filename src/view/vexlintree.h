#pragma once

#include "pipeline/vexlinview.h"
#include "view/rowselection.h"
#include "view/vexlinnode.h"
#include "view/vexlinrows.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QStringList>
#include <functional>

class QHeaderView;
class QStandardItemModel;
class QTimer;

// A list of rows with variable heights for millions of rows: every row shows
// one data object, which measures its height; only visible rows are measured
// and painted. Columns come from a QHeaderView (or one full-width column when
// the header is off). The owner decides what a cell shows through the two
// paint hooks; mouse input is reported through signals.
//
// Changes that come with data (appended rows, invalidations, the scroll to a
// followed row) repaint on a frame clock, at most kFrameMs apart however
// fast they come: appending a row costs only the append.
class TVexlinTree : public QAbstractScrollArea, public TVexlinView {
  Q_OBJECT
public:
  using BeforeCellPaintHook =
      std::function<void(QPainter &painter, TVexlinNode &node, int column, const QRect &cell)>;
  using DrawNodeHook = std::function<void(TVexlinPaintInfo &info)>;

  static constexpr int kDefaultNodeHeight = 16;
  static constexpr int kIndent = 16;
  static constexpr int kMargin = 4;   // horizontal margin of a cell's content
  static constexpr int kFrameMs = 16; // about 60 frames a second

  explicit TVexlinTree(QWidget *parent = nullptr);
  ~TVexlinTree() override;

  // --- rows -----------------------------------------------------------------
  // Appends a top-level row showing `data`; the tree owns `data` from now on.
  TVexlinNode *AddRow(TVexlinDataObject *data);
  // Appends a child row under `parent` (a top-level row when parent is null).
  TVexlinNode *AddChild(TVexlinNode *parent, TVexlinDataObject *data);
  // Removes a row and its children, deleting their objects unless told not to
  // (when the objects were handed to another owner). Removing a top-level row
  // other than the last moves the later rows: their handles become invalid.
  void RemoveRow(TVexlinNode *node, bool deleteObjects = true);
  void Clear(bool deleteObjects = true);
  size_t RowCount() const { return fRows.Count(); }
  TVexlinNode *NodeAt(size_t index) const { return fRows.At(index); }
  TVexlinNode *LastNode() const;
  // Position among the row's siblings, -1 for a foreign node.
  ptrdiff_t IndexOf(const TVexlinNode *node) const { return fRows.IndexOf(node); }
  // The row under a point in viewport coordinates, or none.
  TVexlinNode *NodeAt(QPoint pos) const;
  // The visible row at a content position (0 = top of the first row).
  TVexlinNode *NodeAtY(int64_t y) const { return fRows.AtY(y); }
  // Content position of a row's top, -1 when a collapsed parent hides it.
  int64_t NodeTop(const TVexlinNode *node) const;
  int64_t TotalHeight() const { return fRows.TotalHeight(); }
  void SetExpanded(TVexlinNode *node, bool expanded);
  // Rows the filter does not keep (nor any of their children) are left out
  // of the layout; rows added later are tested as they come. Null keeps all.
  // Meanwhile selecting all or a span takes only the rows shown.
  void SetRowFilter(TVexlinRows::RowFilter keep);
  bool HasRowFilter() const { return fRows.HasRowFilter(); }
  // Tests the top-level rows [from, to) against the filter and relayouts.
  void ApplyRowFilter(size_t from, size_t to);
  // The selected rows: mouse (click, Shift, Ctrl), Shift+arrows and Ctrl+A.
  const TRowSelection &Selection() const { return fSelection; }
  TRowSelection &Selection() { return fSelection; }
  // Whether the top-level row of `node` is selected.
  bool IsSelected(const TVexlinNode *node) const;
  // Selects on a click on `node` as the modifiers say.
  void SelectByClick(TVexlinNode *node, Qt::KeyboardModifiers modifiers);
  // Not filtered out, and every ancestor expanded.
  bool IsNodeVisible(const TVexlinNode *node) const { return node && fRows.IsVisible(*node); }
  // Whether the top-level row `row` is shown (not filtered out): copying and
  // saving the selection take only those.
  bool IsRowShown(size_t row) const { return row < RowCount() && !NodeAt(row)->Hidden; }

  // Bulk update: no repaint and no scroll-bar update until the last EndUpdate
  // (and then on the next frame).
  void BeginUpdate() { ++fUpdateCount; }
  void EndUpdate();
  bool IsUpdating() const { return fUpdateCount > 0; }

  // --- scrolling and heights -------------------------------------------------
  // Scrolls vertically so the row is visible (centred when asked), expanding
  // its parents; it replaces a scroll still waiting for the next frame.
  void ScrollToNode(TVexlinNode *node, bool centreVertically);
  // The same on the next frame; a later call replaces an earlier one.
  void ScrollToNodeOnFrame(TVexlinNode *node, bool centreVertically);
  // Whether a frame (repaint, scroll-bar update, scroll) is still to come.
  bool IsFramePending() const;
  int64_t ScrollY() const;
  void SetScrollY(int64_t y);
  // What stays in sight while rows change height.
  enum TKeepInView { KeepTopRow, KeepEnd };
  // Marks every row unmeasured: visible rows are measured at the next paint,
  // the others in the background. Until all are measured, or the list is
  // scrolled otherwise, the row at the top stays at the top, however the
  // heights above it change; with KeepEnd, a list shown to its end stays
  // at its end.
  void ResetNodeHeights(TKeepInView keep = KeepTopRow);
  // Measures a row now if it is unmeasured.
  void MeasureNode(TVexlinNode *node);
  bool IsMeasured(const TVexlinNode *node) const { return node && fRows.IsMeasured(*node); }
  // The row kinds keep one layout for every list; this makes it the one of
  // this list's data cells before rows are measured, drawn or hit-tested.
  void ApplyLayout();
  // Width the rows of this list lay out for: the data column, or the whole
  // width without a header.
  int LayoutWidth() const;

  TVexlinNode *FocusedNode() const { return fFocused; }
  void SetFocusedNode(TVexlinNode *node) { fFocused = node; }

  // --- columns ---------------------------------------------------------------
  // Sets the columns (logical order = given order); the last one stretches.
  void SetColumns(const QStringList &titles, const QList<int> &widths);
  void SetHeaderVisible(bool visible);
  bool IsHeaderVisible() const { return fHeaderVisible; }
  void SetHeaderHeight(int height);
  int ColumnCount() const;
  void SetColumnVisible(int column, bool visible);
  bool IsColumnVisible(int column) const;
  // The column's width, also while it is hidden.
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);
  QHeaderView *header() const { return fHeader; }
  // The column whose cells carry the tree's indentation and expand buttons.
  void SetMainColumn(int column) { fMainColumn = column; }
  // The main column's width that shows the expand button of every row and,
  // beside a top-level row's button, a text `textWidth` wide. Counts every
  // parent added since the last Clear, without looking at the rows.
  int MainColumnWidthFor(int textWidth) const;

  void SetBeforeCellPaint(BeforeCellPaintHook hook) { fBeforeCellPaint = std::move(hook); }
  void SetDrawNode(DrawNodeHook hook) { fDrawNode = std::move(hook); }
  void SetInfoWindow(TVexlinInfoWindow *window) { fInfoWindow = window; }
  void SetDefaultNodeHeight(int height);
  void SetFont(const QFont &font);

  // Bytes the tree holds for its rows, not counting their objects.
  size_t MemoryUsage() const { return fRows.MemoryUsage(); }
  // About what the rows hold with their objects (see RowMemory): a running
  // total kept as rows come and go, so asking costs nothing.
  size_t RowsMemory() const { return fRowsMemory; }
  QRect FocusFrameHex() const { return fFrameHex; }
  QRect FocusFrameChar() const { return fFrameChar; }

  // --- TVexlinView -------------------------------------------------------------
  int DefaultNodeHeight() const override { return fDefaultNodeHeight; }
  QFont Font() const override { return fFont; }
  void InvalidateNode(TVexlinNode *node) override;
  void Invalidate() override;
  void ResetNodeHeight(TVexlinNode *node) override;
  void SetCursor(TCursor cursor) override;
  void HideInfoWindow() override;
  int ColumnAt(QPoint pos) const override;
  QRect NodeCellRect(TVexlinNode *node, int column) const override;
  QPoint MapToGlobal(QPoint pos) const override;
  void SetFocusFrame(const QRect &hexCell, const QRect &charCell) override;
  TVexlinInfoWindow *InfoWindow() override { return fInfoWindow; }

signals:
  void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
  void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void contextMenuRequested(TVexlinNode *node, QPoint globalPos);
  void doubleClicked(TVexlinNode *node);
  void resized();
  // A frame is about to update the scroll bars and repaint: rows added since
  // the last one are in.
  void frameStarting();
  void columnResized(int column);
  void scrolled(int dx, int dy);
  // Rows were removed: handles kept by others may be stale now.
  void rowsRemoved();
  void selectionChanged();

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  struct TCell {
    int column;
    QRect rect;
  };
  int MeasureRow(TVexlinNode &node);
  // Removes rows through `remove`, deleting their objects when asked, then
  // forgets handles into them and repaints. `removesAll`: every row goes.
  void RemoveRows(const std::function<void(const TVexlinRows::Disposer &)> &remove,
                  bool deleteObjects, bool removesAll);
  void PaintRow(QPainter &painter, TVexlinNode &node, const QRect &rowRect, const QRect &dirty);
  // The cells of one row in visual order (one full-width cell without header).
  std::vector<TCell> Cells(int top, int height) const;
  // A shown column's cell width: its section, the data column kept inside
  // the viewport.
  int CellWidth(int column) const;
  QRect ExpandButtonRect(const TVexlinNode &node, const QRect &cell) const;
  void UpdateGeometries();
  void UpdateScrollBars();
  void ScheduleScrollBarUpdate();
  // Notes what ResetNodeHeights keeps in sight: the row at the top, or the
  // end when it is wanted and shown.
  void TakeAnchor();
  // Scrolls back to what ResetNodeHeights keeps in sight.
  void KeepAnchorInView();
  // Measures the rows a page shows from content position `y`; true when a
  // height changed.
  bool MeasurePage(int64_t y);
  void MeasureInBackground();
  QRect RowRect(const TVexlinNode *node) const;
  void UpdateFrameRegion(const QRect &r);
  void ForgetRemovedHandles();
  void RequestFrame();
  void Frame();

  TVexlinRows fRows;
  size_t fRowsMemory = 0;
  TRowSelection fSelection;
  QHeaderView *fHeader = nullptr;
  QStandardItemModel *fHeaderModel = nullptr;
  QList<int> fWidths; // last width of every column, kept while it is hidden
  QTimer *fBackgroundMeasure = nullptr;
  size_t fBackgroundRow = 0;
  bool fHeaderVisible = true;
  int fMainColumn = 0;
  int fDeepestParent = -1; // depth of the deepest row given children, -1: none
  int fDefaultNodeHeight = kDefaultNodeHeight;
  QFont fFont;
  int fUpdateCount = 0;
  int64_t fScrollUnit = 1; // content pixels per scroll-bar step
  // What ResetNodeHeights keeps in sight, while fAnchored.
  bool fAnchored = false;
  TKeepInView fAnchorWanted = KeepTopRow;
  TKeepInView fAnchorKeep = KeepTopRow;
  TVexlinNode *fAnchorNode = nullptr;
  int64_t fAnchorOffset = 0;     // of the view's top below the anchor row's top
  bool fScrollingItself = false; // scroll-bar changes that are no one's choice
  bool fHoldingAnchor = false;   // scrolled as far as the rows above moved
  bool fScrollBarUpdatePending = false;
  QPainter *fPaintingPainter = nullptr;
  TVexlinNode *fFocused = nullptr;
  QTimer *fFrameTimer = nullptr;
  QElapsedTimer fLastFrame;
  TVexlinNode *fFrameScrollNode = nullptr;
  bool fFrameScrollCentre = false;
  TVexlinInfoWindow *fInfoWindow = nullptr;
  QRect fFrameHex;
  QRect fFrameChar;
  BeforeCellPaintHook fBeforeCellPaint;
  DrawNodeHook fDrawNode;
};

// Keeps a tree in bulk update for a scope, also when an exception leaves it.
class TVexlinTreeUpdate {
public:
  explicit TVexlinTreeUpdate(TVexlinTree &tree) : fTree(tree) { fTree.BeginUpdate(); }
  ~TVexlinTreeUpdate() { fTree.EndUpdate(); }
  TVexlinTreeUpdate(const TVexlinTreeUpdate &) = delete;
  TVexlinTreeUpdate &operator=(const TVexlinTreeUpdate &) = delete;

private:
  TVexlinTree &fTree;
};
