#pragma once

#include "pipeline/dataobject.h"

#include <QStringView>

class QFontMetrics;

// A coloured log line of the communication view.
class TVexlinDataLog : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataLog";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataLog>(); }

  TVexlinDataLog() = default;
  // Stamped with the moment of creation.
  TVexlinDataLog(const QString &AText, TColor AColor);

  // One line, cut at the row's edge; only the part that can be seen is laid
  // out, so a line of megabytes costs what a screenful does.
  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  TColor GetBckColor() const override;
  QByteArray GetText4Save() const override;
  // Takes the text; the colour of a reloaded line is black.
  bool LoadFromSavedFile(const QString &data) override;
  QByteArrayView SearchBytes(QByteArray &scratch) const override;

  QString Text;
  TColor TextColor = 0;
};

// The length of the start of `text` that fills `width` pixels on one line in
// `metrics`' font, with a margin so the glyphs at the edge are shaped as in
// the whole text; never splits a surrogate pair. Measures only that start.
qsizetype VisibleTextLength(QStringView text, const QFontMetrics &metrics, int width);
