#pragma once

#include "base/pterror.h"
#include "base/xmldoc.h"
#include "pipeline/vexlinview.h"

#include <QFont>
#include <utility>
#include <vector>

// An information window that records what it is asked to show.
class TFakeInfoWindow : public TVexlinInfoWindow {
public:
  void ShowInstInfo(const std::vector<TXmlElement> &Nodes) override {
    if (failFills)
      throw EPtError("style sheet missing");
    std::vector<QList<TXmlAttribute>> elements;
    for (const TXmlElement &node : Nodes)
      elements.push_back(node.Attributes());
    fills.push_back(std::move(elements));
  }
  void ShowAt(QPoint globalTopLeft) override { shownAt.push_back(globalTopLeft); }
  void Hide() override { ++hides; }

  // The attributes of the last element shown, as name=value.
  QStringList LastAttributes() const {
    QStringList out;
    if (fills.empty() || fills.back().empty())
      return out;
    for (const TXmlAttribute &a : fills.back().front())
      out << a.Name + u'=' + a.Value;
    return out;
  }

  bool failFills = false;
  std::vector<std::vector<QList<TXmlAttribute>>> fills;
  std::vector<QPoint> shownAt;
  int hides = 0;
};

// A packet list with an index column left of the data column, every row's
// data cell at `dataCell`; global coordinates are offset by (1000, 2000).
class TTrackingView : public TVexlinView {
public:
  TTrackingView() { font.setStyleStrategy(QFont::NoAntialias); }

  int DefaultNodeHeight() const override { return 16; }
  QFont Font() const override { return font; }
  void InvalidateNode(TVexlinNode *node) override { invalidatedNodes.push_back(node); }
  void Invalidate() override {}
  void ResetNodeHeight(TVexlinNode *) override {}
  void SetCursor(TCursor) override {}
  void HideInfoWindow() override { infoWindow->Hide(); }
  int ColumnAt(QPoint pos) const override {
    if (!hasColumns)
      return NoColumn;
    return pos.x() >= dataCell.left() ? DataColumn : DataColumn - 1;
  }
  QRect NodeCellRect(TVexlinNode *, int column) const override {
    if (column == DataColumn)
      return dataCell;
    return QRect(0, dataCell.top(), dataCell.left(), dataCell.height());
  }
  QPoint MapToGlobal(QPoint pos) const override { return pos + QPoint(1000, 2000); }
  void SetFocusFrame(const QRect &hexCell, const QRect &charCell) override {
    frames.emplace_back(hexCell, charCell);
  }
  TVexlinInfoWindow *InfoWindow() override { return infoWindow; }

  QFont font;
  bool hasColumns = true;
  QRect dataCell{100, 50, 563, 48};
  TFakeInfoWindow info;
  TVexlinInfoWindow *infoWindow = &info; // a real window can stand in
  std::vector<std::pair<QRect, QRect>> frames;
  std::vector<TVexlinNode *> invalidatedNodes;
};
