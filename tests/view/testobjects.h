#pragma once

#include "pipeline/dataobject.h"
#include "pipeline/dataobjectwithmenu.h"

#include <string>
#include <vector>

// A row object with a chosen height and colour that records what the list
// asks of it; `alive` (when given) turns false when it is destroyed.
class TProbeObject : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TProbeObject";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TProbeObject>(); }

  TProbeObject() = default;
  explicit TProbeObject(int height, bool *alive = nullptr) : fHeight(height), fAlive(alive) {
    if (fAlive)
      *fAlive = true;
  }
  ~TProbeObject() override {
    if (fAlive)
      *fAlive = false;
  }

  void MeasureHeight(TVexlinView &, QPainter *, TVexlinNode *, int &NodeHeight) override {
    ++measures;
    NodeHeight = fHeight;
  }
  void DrawNode(TVexlinView &, const TVexlinPaintInfo &info) override {
    drawnRects.push_back(info.ContentRect);
  }
  void DoMouseEnter(TVexlinView &, TVexlinNode *, Qt::KeyboardModifiers, int, int) override {
    events.push_back("enter");
  }
  void DoMouseMove(TVexlinView &, TVexlinNode *, Qt::KeyboardModifiers, int, int) override {
    events.push_back("move");
  }
  void DoMouseLeave(TVexlinView *, TVexlinNode *) override { events.push_back("leave"); }
  void DoMouseDown(TVexlinView &, Qt::MouseButton, Qt::KeyboardModifiers, int, int) override {
    events.push_back("down");
  }
  TColor GetBckColor() const override { return bckColor; }

  int fHeight = 16;
  bool *fAlive = nullptr;
  int measures = 0;
  std::vector<QRect> drawnRects;
  std::vector<std::string> events;
  TColor bckColor = 0x00FF00; // green
};

// A row with links, as the network tools make them.
class TLinkProbeObject : public TVexlinDataObject_WithMenu {
public:
  void OnLink(TVexlinDataObject *) { ++clicks; }
  int clicks = 0;
};

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// Mouse input straight to a widget, as the window system would deliver it.
inline void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, QPoint pos,
                      Qt::MouseButtons buttons = Qt::NoButton) {
  QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button,
                    type == QEvent::MouseButtonPress ? (buttons | button) : buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

inline void Click(QWidget *widget, Qt::MouseButton button, QPoint pos) {
  SendMouse(widget, QEvent::MouseButtonPress, button, pos);
  SendMouse(widget, QEvent::MouseButtonRelease, button, pos);
}
