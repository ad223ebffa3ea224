#pragma once

#include "pipeline/databinary.h"

// A complete Pelmar 97 frame as cut by the frame parser. It shares the
// binary packet's data, saved text and reader.
class TVexlinDataBinary_Pelmar97 : public TVexlinDataBinary {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary_Pelmar97";
  TVexlinDataObjectClass ClassType() const override {
    return ClassOf<TVexlinDataBinary_Pelmar97>();
  }

  using TVexlinDataBinary::TVexlinDataBinary;
};
