#pragma once

#include "pipeline/databinary.h"
#include "pipeline/datamodbus.h"
#include "pipeline/vexlinparser.h"

#include <gtest/gtest.h>
#include <vector>

// What a parser cut: the bytes and whether they became a Modbus row.
struct TCutPacket {
  QByteArray bytes;
  bool modbus;
  bool operator==(const TCutPacket &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const TCutPacket &p) {
  return out << (p.modbus ? "modbus " : "binary ") << p.bytes.toHex(' ').toStdString();
}

// Runs Parse until it returns false, as the receive path does.
inline std::vector<TCutPacket> CutAll(TVexlinParser &parser, TVexlinBuffer &buffer) {
  std::vector<TCutPacket> out;
  std::unique_ptr<TVexlinDataObject> object;
  while (parser.Parse(buffer, object)) {
    auto *binary = dynamic_cast<TVexlinDataBinary *>(object.get());
    EXPECT_NE(binary, nullptr);
    if (!binary)
      break;
    out.push_back({binary->Data, dynamic_cast<TVexlinDataBinary_Modbus *>(binary) != nullptr});
    object.reset();
    EXPECT_LE(out.size(), 100000u) << "the parser does not stop";
    if (out.size() > 100000u)
      break;
  }
  EXPECT_EQ(object, nullptr) << "a false result must not hand out an object";
  return out;
}

// Keeps the shared maximum length as the test found it.
class MaxLengthGuard {
public:
  explicit MaxLengthGuard(int32_t value) : fSaved(TVexlinParser::MaxLength.load()) {
    TVexlinParser::MaxLength = value;
  }
  ~MaxLengthGuard() { TVexlinParser::MaxLength = fSaved; }

private:
  int32_t fSaved;
};
