#pragma once

#include "pipeline/dataobject.h"

#include <functional>
#include <vector>

// An object-bound callback taking the sender object. Two events are equal
// when they call the same method on the same object, which is what removing
// a link by its callback needs.
class TLinkNotifyEvent {
public:
  TLinkNotifyEvent() = default;

  template <auto Method, class C> static TLinkNotifyEvent Bind(C *object) {
    TLinkNotifyEvent e;
    e.fObject = object;
    e.fInvoke = [](void *o, TVexlinDataObject *sender) { (static_cast<C *>(o)->*Method)(sender); };
    return e;
  }

  explicit operator bool() const { return fInvoke != nullptr; }
  void operator()(TVexlinDataObject *sender) const {
    if (fInvoke)
      fInvoke(fObject, sender);
  }
  bool operator==(const TLinkNotifyEvent &other) const {
    return fObject == other.fObject && fInvoke == other.fInvoke;
  }

private:
  void *fObject = nullptr;
  void (*fInvoke)(void *, TVexlinDataObject *) = nullptr;
};

struct TLinkMenuItem {
  bool InRow = true;
  bool InPopUp = true;
  bool DontDraw = false;
  QString Caption;
  QRect Rect{QPoint(0, 0), QPoint(0, 0)}; // where the caption was last drawn
  bool isMouseOver = false;
  TLinkNotifyEvent onClick;
  TCursor CursorOver = crHandPoint;
};

// The row context menu as the data objects see it; the view fills a real menu.
class TVexlinMenu {
public:
  virtual ~TVexlinMenu() = default;
  virtual void AddItem(const QString &caption, std::function<void()> onClick, bool isDefault) = 0;
};

// Base of kinds that show clickable links in their row and its context menu.
class TVexlinDataObject_WithMenu : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataObject_WithMenu";
  TVexlinDataObjectClass ClassType() const override {
    return ClassOf<TVexlinDataObject_WithMenu>();
  }

  void DoMouseMove(TVexlinView &Sender, TVexlinNode *Node, Qt::KeyboardModifiers Shift, int X,
                   int Y) override;
  void DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) override;
  void DoMouseDown(TVexlinView &Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                   int Y) override;
  // Draws the links in one line starting at x = XOffSet.
  virtual void DrawNodeMenu(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo, int XOffSet);

  int AddLinkMenu(const QString &aCaption, TLinkNotifyEvent aOnClick);
  bool RemoveLinkMenu(TLinkNotifyEvent aOnClick);
  void PrepareMenu(TVexlinMenu &PopupMenu);

  std::vector<TLinkMenuItem> fLinkMenu;
};
