#pragma once

// Pelmar 97 frames:
//
//   PRE FRM LEN_hi LEN_lo ADR SIG INST DATA[n] SUM CR
//
// LEN counts ADR through CR (n + 5), so a frame is LEN + 4 bytes long. SUM
// makes the byte sum of PRE through SUM equal 0xFF. There is no escaping.
//
// The routines live in the global namespace. The frame constants are kept in
// the namespaces of the modules that own them (uPelmarCore::PRE,
// uPelmarCore::CR, uPelmar97::FRM, uPelmar97::ADR_Universal) so that the short
// names cannot collide with macros or other code's identifiers.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace uPelmarCore {
inline constexpr uint8_t PRE = 0x2A; // '*'
inline constexpr uint8_t CR = 0x0D;
} // namespace uPelmarCore

namespace uPelmar97 {
inline constexpr uint8_t FRM = 0x61; // 'a', format 97
inline constexpr uint8_t ADR_Universal = 0xFE;
// The frame without data: PRE FRM LEN LEN ADR SIG INST SUM CR.
inline constexpr qsizetype MinFrameLength = 9;
// LEN is 16 bits and includes the five bytes ADR, SIG, INST, SUM and CR.
inline constexpr qsizetype MaxDataLength = 0xFFFF - 5;
} // namespace uPelmar97

// A decoded frame. DATA holds NUM - 5 bytes (empty when NUM is below 5).
struct TPelmarFormat97 {
  char PRE = 0;
  uint8_t FRM = 0;
  uint16_t NUM = 0; // the LEN field
  char ADR = 0;
  uint8_t SIG = 0;
  uint8_t INST_ACK = 0; // instruction, or the acknowledge code in a reply
  QByteArray DATA;
  uint8_t SUMA = 0;
  char CR = 0;
};

// 255 minus the byte sum of PACKET, modulo 256 (0xFF for an empty string).
uint8_t sCountCRC(QByteArrayView PACKET);

// The complete frame for the given fields. Any byte value is accepted for
// ADR, SIG and INST. Raises EPtError when DATA is longer than
// uPelmar97::MaxDataLength bytes, since LEN could not describe the frame.
QByteArray sEncode_S97(uint8_t ADR, uint8_t SIG, uint8_t INST, QByteArrayView DATA);

// Splits PACKET into its fields. Only the length is checked: PRE, FRM, SUM and
// CR are taken as they are (call sCheck_S97 first when a valid frame is
// needed); bytes after CR are ignored. Raises EPtError
// "Incorrect PACKET (Pelmar format 97)!" when PACKET is shorter than 9 bytes
// or too short for the LEN it carries.
TPelmarFormat97 sDecode_S97(QByteArrayView PACKET);

// 0 for a valid frame, otherwise the first failed test:
// 1 shorter than 8 bytes, 2 wrong PRE, 3 wrong FRM, 4 LEN does not match the
// length, 5 wrong SUM, 6 wrong CR. Never raises.
uint16_t sCheck_S97(QByteArrayView PACKET);

// What sCheck_S97 found wrong with a frame, in terms a user can act on: the
// bytes at fault (0-based, Count 0 when no single field is to blame) with the
// value found there and the value a valid frame would hold.
struct TS97Fault {
  uint16_t Code = 0; // sCheck_S97's result; 0 for a valid frame
  qsizetype Position = 0;
  qsizetype Count = 0;
  uint32_t Actual = 0;
  uint32_t Expected = 0;
  // The field name, e.g. "SUM"; empty when no field is to blame.
  QString Field;
};

// The first failed test of sCheck_S97 with its bytes and values.
TS97Fault S97Fault(QByteArrayView PACKET);

// "SUM 2D, očekáváno AA", "LEN 000A, očekáváno 0008", or for a frame too
// short to test "Krátký rámec: 5 B, nejméně 8 B"; empty for a valid frame.
QString S97FaultText(const TS97Fault &fault);
