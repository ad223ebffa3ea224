#pragma once

#include "pipeline/dataobject.h"

// A coloured log line of the communication view.
class TVexlinDataLog : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataLog";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataLog>(); }

  TVexlinDataLog() = default;
  // Stamped with the moment of creation.
  TVexlinDataLog(const QString &AText, TColor AColor);

  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  TColor GetBckColor() const override;
  QByteArray GetText4Save() const override;
  // Takes the text; the colour of a reloaded line is black.
  bool LoadFromSavedFile(const QString &data) override;

  QString Text;
  TColor TextColor = 0;
};
