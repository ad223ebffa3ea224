#include "codecs/pelmar97.h"

#include "base/languagetext.h"
#include "base/pterror.h"

#include <algorithm>
#include <cstring>

namespace {

// Byte sum modulo 256. Eight bytes at a time in four 16-bit lanes; the lanes
// are folded every 128 words, before any of them can overflow (128 * 510).
uint8_t ByteSum(const char *data, qsizetype size) {
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  uint32_t sum = 0;
  while (size >= 8) {
    const qsizetype words = std::min<qsizetype>(size / 8, 128);
    uint64_t lanes = 0;
    for (qsizetype w = 0; w < words; ++w) {
      uint64_t word;
      std::memcpy(&word, data + w * 8, 8);
      lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
    }
    sum += static_cast<uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                 ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
    data += words * 8;
    size -= words * 8;
  }
  for (qsizetype i = 0; i < size; ++i) {
    sum += static_cast<uint8_t>(data[i]);
  }
  return static_cast<uint8_t>(sum);
}

inline uint8_t Byte(QByteArrayView packet, qsizetype index) {
  return static_cast<uint8_t>(packet[index]);
}

[[noreturn]] void FailDecode() {
  throw EPtError("Incorrect PACKET (Pelmar format 97)!");
}

} // namespace

uint8_t sCountCRC(QByteArrayView PACKET) {
  return static_cast<uint8_t>(0xFF - ByteSum(PACKET.data(), PACKET.size()));
}

QByteArray sEncode_S97(uint8_t ADR, uint8_t SIG, uint8_t INST, QByteArrayView DATA) {
  const qsizetype n = DATA.size();
  if (n > uPelmar97::MaxDataLength) {
    throw EPtError(QStringLiteral("Pelmar 97 frame cannot carry %1 data bytes: "
                                  "the length field allows at most %2.")
                       .arg(n)
                       .arg(uPelmar97::MaxDataLength));
  }
  const auto len = static_cast<uint16_t>(n + 5);
  QByteArray frame(n + uPelmar97::MinFrameLength, Qt::Uninitialized);
  char *f = frame.data();
  f[0] = static_cast<char>(uPelmarCore::PRE);
  f[1] = static_cast<char>(uPelmar97::FRM);
  f[2] = static_cast<char>(len >> 8);
  f[3] = static_cast<char>(len & 0xFF);
  f[4] = static_cast<char>(ADR);
  f[5] = static_cast<char>(SIG);
  f[6] = static_cast<char>(INST);
  if (n > 0) {
    std::memcpy(f + 7, DATA.data(), static_cast<size_t>(n));
  }
  const auto sum = static_cast<uint8_t>(ByteSum(f, 7) + ByteSum(f + 7, n));
  f[7 + n] = static_cast<char>(0xFF - sum);
  f[8 + n] = static_cast<char>(uPelmarCore::CR);
  return frame;
}

TPelmarFormat97 sDecode_S97(QByteArrayView PACKET) {
  const qsizetype size = PACKET.size();
  if (size < uPelmar97::MinFrameLength) {
    FailDecode();
  }
  const qsizetype num = (Byte(PACKET, 2) << 8) | Byte(PACKET, 3);
  // SUM sits at NUM + 2 and CR at NUM + 3; both must be inside the packet.
  if (num + 3 >= size) {
    FailDecode();
  }
  TPelmarFormat97 r;
  r.PRE = PACKET[0];
  r.FRM = Byte(PACKET, 1);
  r.NUM = static_cast<uint16_t>(num);
  r.ADR = PACKET[4];
  r.SIG = Byte(PACKET, 5);
  r.INST_ACK = Byte(PACKET, 6);
  if (num > 5) {
    r.DATA = QByteArray(PACKET.data() + 7, num - 5);
  }
  r.SUMA = Byte(PACKET, num + 2);
  r.CR = PACKET[num + 3];
  return r;
}

uint16_t sCheck_S97(QByteArrayView PACKET) {
  const qsizetype size = PACKET.size();
  if (size < 8) {
    return 1;
  }
  if (Byte(PACKET, 0) != uPelmarCore::PRE) {
    return 2;
  }
  if (Byte(PACKET, 1) != uPelmar97::FRM) {
    return 3;
  }
  if (((Byte(PACKET, 2) << 8) | Byte(PACKET, 3)) != size - 4) {
    return 4;
  }
  if (Byte(PACKET, size - 2) != sCountCRC(PACKET.first(size - 2))) {
    return 5;
  }
  if (Byte(PACKET, size - 1) != uPelmarCore::CR) {
    return 6;
  }
  return 0;
}

TS97Fault S97Fault(QByteArrayView PACKET) {
  TS97Fault fault;
  fault.Code = sCheck_S97(PACKET);
  const qsizetype size = PACKET.size();
  // Field, first byte, byte count, expected value.
  auto blame = [&](const char *field, qsizetype position, qsizetype count, uint32_t expected) {
    fault.Field = QString::fromLatin1(field);
    fault.Position = position;
    fault.Count = count;
    fault.Expected = expected;
    for (qsizetype i = 0; i < count; ++i)
      fault.Actual = (fault.Actual << 8) | Byte(PACKET, position + i);
  };
  switch (fault.Code) {
  case 1:
    // Too short to hold the fields the later tests read: no byte to blame.
    fault.Actual = static_cast<uint32_t>(size);
    fault.Expected = 8;
    break;
  case 2:
    blame("PRE", 0, 1, uPelmarCore::PRE);
    break;
  case 3:
    blame("FRM", 1, 1, uPelmar97::FRM);
    break;
  case 4:
    blame("LEN", 2, 2, static_cast<uint32_t>(size - 4));
    break;
  case 5:
    blame("SUM", size - 2, 1, sCountCRC(PACKET.first(size - 2)));
    break;
  case 6:
    blame("CR", size - 1, 1, uPelmarCore::CR);
    break;
  default:
    break;
  }
  return fault;
}

QString S97FaultText(const TS97Fault &fault) {
  if (fault.Code == 0)
    return {};
  if (fault.Count == 0)
    return LanguageText(QStringLiteral("FrameShort"),
                        QStringLiteral("Krátký rámec: %1 B, nejméně %2 B"))
        .arg(fault.Actual)
        .arg(fault.Expected);
  const int digits = static_cast<int>(2 * fault.Count);
  auto hex = [digits](uint32_t value) {
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
  };
  return LanguageText(QStringLiteral("FrameFieldFault"), QStringLiteral("%1 %2, očekáváno %3"))
      .arg(fault.Field, hex(fault.Actual), hex(fault.Expected));
}
