#pragma once

#include <QString>

// The settings of the parsers that frame packets by silence or by a length
// field, as "config.xml" keeps them beside the parser choice.
struct TFramingSettings {
  int GapMs = 5;            // silence that ends a packet
  bool GapChars = false;    // 3.5 characters at the serial speed instead
  QString LengthFieldStart; // start bytes as command text; empty for none
  int LengthFieldOffset = 0;
  int LengthFieldSize = 1; // 1, 2 or 4 bytes
  bool LengthFieldLittleEndian = false;
  int LengthFieldAdd = 0;

  bool operator==(const TFramingSettings &) const = default;
};
