#pragma once

#include "pipeline/databinary.h"

#include <QColor>

// A complete Pelmar 97 frame as cut by the frame parser. It shares the
// binary packet's data, saved text, layout and hit testing; its address and
// instruction bytes are drawn bold and the information window names the
// frame field under the mouse. A frame that fails the frame check (a row
// loaded from a log, or one that lost a byte on the line) has its faulty
// bytes framed in red, and both windows say what is wrong.
class TVexlinDataBinary_Pelmar97 : public TVexlinDataBinary {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary_Pelmar97";
  TVexlinDataObjectClass ClassType() const override {
    return ClassOf<TVexlinDataBinary_Pelmar97>();
  }

  using TVexlinDataBinary::TVexlinDataBinary;

  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  void DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) override;
  void ShowInfoHint(int Index, int X, int Y) override;
  // The binary packet's notations, for a faulty frame followed by what is
  // wrong with it.
  QString GetTextInfo() const override;

  static QColor FaultColour() { return QColor(255, 0, 0); }

  // The frame field at a 1-based position of a frame of `length` bytes:
  // "PRE" ... "INST", "DATA [n]", "SUM", "CR".
  static QString FieldTitle(qsizetype position, qsizetype length);

private:
  // Kept apart from the plain packet's, since the two fill the window with
  // different attributes.
  static TInfoHintCache Pelmar97HintCache;
};
