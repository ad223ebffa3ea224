#pragma once

#include "base/datetime.h"
#include "view/mousedispatch.h"
#include "view/vexlintree.h"

#include <QObject>
#include <functional>

class QMenu;
class TVexlinDataObject;

// Turns a TVexlinTree into the packet list "vstTerminal": its columns, the
// backgrounds and texts of the index and time cells, the time reference,
// mouse dispatch to the rows' objects, the row context menu, relayout on
// resize and the auto-scroll to new rows.
class TTerminalView : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool autoScroll READ AutoScroll WRITE SetAutoScroll NOTIFY autoScrollChanged)
public:
  enum Column { ColumnIndex = 0, ColumnTime = 1, ColumnAddress = 2, ColumnData = 3 };

  // Configures `tree`; lives as long as the tree. Without a dispatcher of its
  // own the view makes one (share it with the unparsed-data view).
  explicit TTerminalView(TVexlinTree &tree, TVexlinMouseDispatch *dispatch = nullptr);

  TVexlinTree &Tree() const { return fTree; }
  TVexlinMouseDispatch &MouseDispatch() const { return *fDispatch; }
  // pmViewer, the row context menu.
  QMenu *ViewerMenu() const { return fViewerMenu; }

  // The time subtracted from every shown time; 0 shows absolute times.
  TDateTime TimeDif() const { return fTimeDif; }
  void SetTimeDif(TDateTime timeDif);

  bool AutoScroll() const { return fAutoScroll; }
  // Switching auto-scroll on brings the last row into view.
  void SetAutoScroll(bool on);

  void SetColumnVisibility(int column, bool visible);
  void ToggleColumnVisibility(int column);

  // With auto-scroll on: centres the row vertically on the next frame.
  void FlushNodeItem(TVexlinNode *node);
  // Appends a chain taken from the data-object queue (linked by NextDataObj)
  // in one bulk update, then flushes the last row (no paint and no measuring
  // until the next frame). Returns that row.
  TVexlinNode *AppendChain(TVexlinDataObject *first);

  // Refills pmViewer with the links of the row's object; true when the menu
  // got entries and should open.
  bool PrepareViewerMenu(TVexlinNode *node);
  // Adds the entries that act on the selected rows to the row menu (copy,
  // save); the window provides them.
  std::function<void(QMenu &menu)> AddSelectionEntries;
  // The list or its data column changed size: tell the object kinds the new
  // data-column width, then measure all rows afresh and repaint.
  void Relayout();

signals:
  void autoScrollChanged(bool on);

private:
  void BeforeCellPaint(QPainter &painter, TVexlinNode &node, int column, const QRect &cell);
  void DrawNode(TVexlinPaintInfo &info);
  void MousePressed(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
  void ContextMenuRequested(TVexlinNode *node, QPoint globalPos);
  void Scrolled();
  // Widens the index column when its largest number or the rows' expand
  // buttons need it; after a clear it goes back, unless the user set it.
  void FitIndexColumn();

  TVexlinTree &fTree;
  TVexlinMouseDispatch *fDispatch;
  QMenu *fViewerMenu;
  TDateTime fTimeDif = 0;
  bool fAutoScroll = true;
  int fIndexFitted = 0; // the index column's width as last fitted
};

// Sets up the unparsed-data view "vstRxBuffer": no header, one column drawn
// by the row's object, mouse moves through `dispatch`.
void SetupRxBufferView(TVexlinTree &tree, TVexlinMouseDispatch &dispatch);
