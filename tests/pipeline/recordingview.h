#pragma once

#include "pipeline/vexlinview.h"

#include <vector>

// A view that records what the data objects ask of it.
class TRecordingView : public TVexlinView {
public:
  int DefaultNodeHeight() const override { return 16; }
  QFont Font() const override { return QFont(); }
  void InvalidateNode(TVexlinNode *node) override { invalidatedNodes.push_back(node); }
  void Invalidate() override { ++wholeInvalidations; }
  void ResetNodeHeight(TVexlinNode *) override {}
  void SetCursor(TCursor cursor) override { cursors.push_back(cursor); }
  void HideInfoWindow() override { ++infoWindowHides; }
  int ColumnAt(QPoint) const override { return NoColumn; }
  QRect NodeCellRect(TVexlinNode *, int) const override { return {}; }
  QPoint MapToGlobal(QPoint pos) const override { return pos; }
  void SetFocusFrame(const QRect &, const QRect &) override {}
  TVexlinInfoWindow *InfoWindow() override { return nullptr; }

  std::vector<TVexlinNode *> invalidatedNodes;
  std::vector<TCursor> cursors;
  int wholeInvalidations = 0;
  int infoWindowHides = 0;
};
