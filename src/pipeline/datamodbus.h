#pragma once

#include "codecs/modbus.h"
#include "pipeline/databinary.h"

#include <QColor>

// A Modbus frame as cut by the Modbus parser, RTU, ASCII or TCP. It shares
// the binary packet's layout; its unit id and function code are drawn bold,
// and a frame that fails its check (CRC, LRC, MBAP header) has the faulty
// bytes framed in red, as a damaged Pelmar 97 frame, with the expected
// value named in the information and detail windows.
class TVexlinDataBinary_Modbus : public TVexlinDataBinary {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary_Modbus";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataBinary_Modbus>(); }

  TVexlinDataBinary_Modbus() = default;
  TVexlinDataBinary_Modbus(QByteArray &&aData, TspDirection direction, TModbusType type)
      : TVexlinDataBinary(std::move(aData), direction), ModbusType(type) {}
  TVexlinDataBinary_Modbus(const QByteArray &aData, TspDirection direction, TModbusType type)
      : TVexlinDataBinary(aData, direction), ModbusType(type) {}

  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  void DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) override;
  void ShowInfoHint(int Index, int X, int Y) override;
  // The binary packet's notations, then the frame: its type, unit id,
  // function code and whether its check holds.
  QString GetTextInfo() const override;
  // The packet text with the type in front of the byte list:
  // "rx rtu hex:01 03 ...". A reader that does not know the kind skips the
  // unknown token.
  QByteArray GetText4Save() const override;
  void AppendText4Save(QByteArray &out) const override;
  bool LoadFromSavedFile(const QString &data) override;

  // "Modbus RTU, unit 1, function 3 (0x03)" and the check's verdict, or
  // what is wrong, lines separated by a carriage return.
  QString FrameSummary() const;
  // What fails the frame check; empty when it holds.
  QString FaultText() const;

  static QColor FaultColour() { return QColor(255, 0, 0); }
  // "RTU", "ASCII", "TCP".
  static QString TypeName(TModbusType type);

  TModbusType ModbusType = mbtRTU;

private:
  static TInfoHintCache ModbusHintCache;
};
