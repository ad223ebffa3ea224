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

  std::vector<TVexlinNode *> invalidatedNodes;
  std::vector<TCursor> cursors;
  int wholeInvalidations = 0;
  int infoWindowHides = 0;
};
