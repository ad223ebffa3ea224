#pragma once

#include "codecs/modbus.h"
#include "codecs/modbusdecode.h"
#include "pipeline/databinary.h"

#include <QColor>
#include <optional>

class TModbusPairing;

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

  // The frame's message decoded (function, addresses, values, exception),
  // with the request it answers when the pairing found one. Decoded each
  // time it is asked for: the row keeps only its bytes and the pairing note.
  TModbusMessage Decoded() const;
  // Decodes the frame through `pairing`, which sees every Modbus row of a
  // stream in order, and notes the request it answers.
  void Pair(TModbusPairing &pairing);
  bool Paired() const { return Note.Flags & kNotePaired; }

  static QColor FaultColour() { return QColor(255, 0, 0); }
  // "RTU", "ASCII", "TCP".
  static QString TypeName(TModbusType type);

  TModbusType ModbusType = mbtRTU;

private:
  // What the pairing found, kept small: how the message reads and the
  // answered request's function, start address, count and time to answer.
  enum : uint8_t {
    kNotePaired = 1,
    kNoteAddress = 2,
    kNoteCount = 4,
    kNoteTime = 8,
    kNoteRequest = 16,
    kNoteResponse = 32
  };
  struct TPairNote {
    float Milliseconds = 0;
    uint16_t Address = 0;
    uint16_t Count = 0;
    uint8_t Function = 0;
    uint8_t Flags = 0;
  };
  TModbusDirection NotedDirection() const;

  TPairNote Note;
  static TInfoHintCache ModbusHintCache;
};

// The Tx row of a sent block: a Modbus row when `modbus` names the protocol
// the block is read in and it checks as one whole frame of it (so a request
// sent by hand reads as one from the panel), a binary row otherwise.
TVexlinDataBinary *NewSentRow(const QByteArray &data, std::optional<TModbusType> modbus);
