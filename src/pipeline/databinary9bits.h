#pragma once

#include "pipeline/dataobject.h"

#include <QList>
#include <cstdint>

// A packet of 9-bit words. Registered so saved logs know its token; it has
// no saved text, so such rows are left out of saved files and a reloaded
// line gives an object without data.
class TVexlinDataBinary9Bits : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary9Bits";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataBinary9Bits>(); }

  QList<uint16_t> Data; // each word holds 9 significant bits
};
