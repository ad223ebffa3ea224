#pragma once

// Readable failure messages for the texts and changes these tests compare.
#include "netutils/addressmonitor.h"

#include <QString>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const TAddressChange &change, std::ostream *os) {
  *os << '{' << change.Adapter << ", " << change.NewIP.toStdString() << ", "
      << change.OldIP.toStdString() << '}';
}
