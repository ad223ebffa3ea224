#pragma once

#include "base/datetime.h"
#include "pipeline/packetpool.h"
#include "pipeline/vexlinview.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <Qt>

class TVexlinDataObject;
struct TVexlinDataObjectClassInfo;

// A reference to a data-object kind as a class: the registry and the log
// loader create objects through it, and it identifies the exact class.
using TVexlinDataObjectClass = const TVexlinDataObjectClassInfo *;

struct TVexlinDataObjectClassInfo {
  const char *Name;
  TVexlinDataObject *(*Create)(); // the virtual constructor
  // Class-level: the data column of `Sender` is now `Width` pixels wide.
  void (*ResizeVirtualTree)(TVexlinView &Sender, int Width);
};

// The class reference of T. Each kind declares a static ResizeVirtualTree
// (or inherits its base's) and is default-constructible.
template <class T> TVexlinDataObjectClass ClassOf() {
  static const TVexlinDataObjectClassInfo info{
      T::ClassName, []() -> TVexlinDataObject * { return new T(); }, &T::ResizeVirtualTree};
  return &info;
}

enum TspDirection : uint8_t { spRx = 0, spTx = 1 };

// Every row of the communication view is a data object: it measures, draws
// and saves itself, so the view never switches on the kind.
class TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataObject";

  TVexlinDataObject() = default;
  // Unlinks the object from the chain it was queued in.
  virtual ~TVexlinDataObject();
  TVexlinDataObject(const TVexlinDataObject &) = delete;
  TVexlinDataObject &operator=(const TVexlinDataObject &) = delete;

  // Rows come and go by the thousand a second, created on a transport
  // thread and destroyed on the UI thread: they live in the packet pool.
  static void *operator new(std::size_t size) { return PacketPool::Allocate(size); }
  static void operator delete(void *object, std::size_t size) noexcept {
    PacketPool::Free(object, size);
  }

  virtual TVexlinDataObjectClass ClassType() const { return ClassOf<TVexlinDataObject>(); }

  static void ResizeVirtualTree(TVexlinView &Sender, int Width);
  virtual void MeasureHeight(TVexlinView &Sender, QPainter *TargetCanvas, TVexlinNode *Node,
                             int &NodeHeight);
  virtual void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo);
  virtual void DoMouseEnter(TVexlinView &Sender, TVexlinNode *Node, Qt::KeyboardModifiers Shift,
                            int X, int Y);
  virtual void DoMouseMove(TVexlinView &Sender, TVexlinNode *Node, Qt::KeyboardModifiers Shift,
                           int X, int Y);
  virtual void DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node);
  virtual void DoMouseDown(TVexlinView &Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                           int X, int Y);
  virtual TColor GetBckColor() const;
  virtual QString GetTextInfo() const;
  virtual QByteArray GetText4Save() const;
  // GetText4Save appended to `out`; kinds that save often write in place.
  virtual void AppendText4Save(QByteArray &out) const { out.append(GetText4Save()); }
  virtual bool LoadFromSavedFile(const QString &data);
  // The bytes the find bar looks in (a packet's bytes, a line's text in the
  // Windows-1250 code page); `scratch` holds them when they must be made.
  virtual QByteArrayView SearchBytes(QByteArray &scratch) const;

  // Stamps the current time when the object has none, then queues it; the
  // queue owns the object from here on.
  void Push();
  // Repaints the whole view that shows the object, if any.
  void Invalidate();

  // Added to the left edge of the content rectangle by every kind's drawing.
  static int LeftDataOffset;

  TVexlinView *ParentVDT = nullptr;
  TVexlinDataObject *PrevDataObj = nullptr;
  TVexlinDataObject *NextDataObj = nullptr;
  TDateTime Time = 0;
  TspDirection Direction = spRx;
};
