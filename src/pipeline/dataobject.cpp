#include "pipeline/dataobject.h"

#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectwithmenu.h"

#include <QFontMetrics>

int TVexlinDataObject::LeftDataOffset = 0;

TVexlinDataObject::~TVexlinDataObject() {
  if (PrevDataObj)
    PrevDataObj->NextDataObj = NextDataObj;
  if (NextDataObj)
    NextDataObj->PrevDataObj = PrevDataObj;
}

void TVexlinDataObject::ResizeVirtualTree(TVexlinView &, int) {}

void TVexlinDataObject::MeasureHeight(TVexlinView &Sender, QPainter *, TVexlinNode *,
                                      int &NodeHeight) {
  NodeHeight = Sender.DefaultNodeHeight();
}

void TVexlinDataObject::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  ParentVDT = &Sender;
  // A kind that cannot draw itself shows a diagonal, so the row is visibly odd.
  if (PaintInfo.Canvas) {
    PaintInfo.Canvas->save();
    PaintInfo.Canvas->setPen(QPen(Qt::black, 1));
    PaintInfo.Canvas->drawLine(PaintInfo.ContentRect.topLeft(),
                               PaintInfo.ContentRect.bottomRight());
    PaintInfo.Canvas->restore();
  }
}

void TVexlinDataObject::DoMouseEnter(TVexlinView &, TVexlinNode *, Qt::KeyboardModifiers, int,
                                     int) {}

void TVexlinDataObject::DoMouseMove(TVexlinView &, TVexlinNode *, Qt::KeyboardModifiers, int, int) {
}

void TVexlinDataObject::DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) {
  if (Sender && Node)
    Sender->InvalidateNode(Node);
  if (Sender)
    Sender->HideInfoWindow();
}

void TVexlinDataObject::DoMouseDown(TVexlinView &, Qt::MouseButton, Qt::KeyboardModifiers, int,
                                    int) {}

TColor TVexlinDataObject::GetBckColor() const {
  return 0xFFFFFF;
}

QString TVexlinDataObject::GetTextInfo() const {
  return {};
}

QByteArray TVexlinDataObject::GetText4Save() const {
  return {};
}

bool TVexlinDataObject::LoadFromSavedFile(const QString &) {
  return false;
}

void TVexlinDataObject::Push() {
  if (Time == 0)
    Time = NowDateTime();
  VexlicDataObject_PUSH(this);
}

void TVexlinDataObject::Invalidate() {
  if (ParentVDT)
    ParentVDT->Invalidate();
}

// --- links -----------------------------------------------------------------

int TVexlinDataObject_WithMenu::AddLinkMenu(const QString &aCaption, TLinkNotifyEvent aOnClick) {
  TLinkMenuItem item;
  item.Caption = aCaption;
  item.onClick = aOnClick;
  fLinkMenu.push_back(std::move(item));
  return static_cast<int>(fLinkMenu.size()) - 1;
}

bool TVexlinDataObject_WithMenu::RemoveLinkMenu(TLinkNotifyEvent aOnClick) {
  for (auto it = fLinkMenu.begin(); it != fLinkMenu.end(); ++it) {
    if (it->onClick == aOnClick) {
      fLinkMenu.erase(it);
      return true;
    }
  }
  return false;
}

void TVexlinDataObject_WithMenu::PrepareMenu(TVexlinMenu &PopupMenu) {
  for (const TLinkMenuItem &link : fLinkMenu) {
    if (!link.InPopUp)
      continue;
    TLinkNotifyEvent onClick = link.onClick;
    PopupMenu.AddItem(
        link.Caption, [this, onClick] { onClick(this); }, link.isMouseOver);
  }
}

void TVexlinDataObject_WithMenu::DrawNodeMenu(TVexlinView &Sender,
                                              const TVexlinPaintInfo &PaintInfo, int XOffSet) {
  QPainter *canvas = PaintInfo.Canvas;
  if (!canvas)
    return;
  canvas->save();
  canvas->setPen(ToQColor(0xFF0000));
  QRect r = PaintInfo.ContentRect;
  r.setLeft(XOffSet);
  QFont plain = Sender.Font();
  QFont underlined = plain;
  underlined.setUnderline(true);
  for (TLinkMenuItem &link : fLinkMenu) {
    if (r.left() >= r.right())
      break;
    if (link.DontDraw)
      continue;
    const QFont &font = link.isMouseOver ? underlined : plain;
    canvas->setFont(font);
    const int width = QFontMetrics(font).horizontalAdvance(link.Caption);
    const int top = r.top() + 1;
    canvas->drawText(QRect(r.left(), top, width + 1, r.bottom() - top + 1),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, link.Caption);
    link.Rect = QRect(QPoint(r.left(), r.top()), QPoint(r.left() + width, r.bottom()));
    r.setLeft(r.left() + width + 10);
  }
  canvas->restore();
}

void TVexlinDataObject_WithMenu::DoMouseMove(TVexlinView &Sender, TVexlinNode *Node,
                                             Qt::KeyboardModifiers Shift, int X, int Y) {
  TVexlinDataObject::DoMouseMove(Sender, Node, Shift, X, Y);
  bool repaint = false;
  const TLinkMenuItem *over = nullptr;
  for (TLinkMenuItem &link : fLinkMenu) {
    // Only x decides: the links share one line of the row.
    const bool isOver = link.Rect.left() < X && X < link.Rect.right();
    if (link.isMouseOver != isOver) {
      link.isMouseOver = isOver;
      repaint = true;
    }
    if (isOver)
      over = &link;
  }
  if (repaint && Node)
    Sender.InvalidateNode(Node);
  Sender.SetCursor(over ? over->CursorOver : crDefault);
}

void TVexlinDataObject_WithMenu::DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) {
  bool wasOver = false;
  for (TLinkMenuItem &link : fLinkMenu) {
    wasOver = wasOver || link.isMouseOver;
    link.isMouseOver = false;
  }
  if (wasOver && Sender) {
    if (Node)
      Sender->InvalidateNode(Node);
    Sender->SetCursor(crDefault);
  }
  TVexlinDataObject::DoMouseLeave(Sender, Node);
  if (Sender)
    Sender->SetCursor(crDefault);
}

void TVexlinDataObject_WithMenu::DoMouseDown(TVexlinView &, Qt::MouseButton Button,
                                             Qt::KeyboardModifiers, int, int) {
  if (Button != Qt::LeftButton)
    return;
  for (const TLinkMenuItem &link : fLinkMenu) {
    if (link.isMouseOver) {
      // A copy: the handler may take its own link out of the menu.
      const TLinkNotifyEvent onClick = link.onClick;
      onClick(this);
      return;
    }
  }
}

QByteArrayView TVexlinDataObject::SearchBytes(QByteArray &scratch) const {
  scratch = GetText4Save();
  return scratch;
}
