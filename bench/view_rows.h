#pragma once

#include "pipeline/databinary.h"
#include "pipeline/datalog.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Rows as a busy line produces them: packets of 8 to 64 bytes with a log
// line now and then. Payloads are shared (implicitly) so 10 million rows fit
// in memory; the view never looks at the bytes' identity.
class TBenchRowSource {
public:
  TBenchRowSource() {
    for (int n = 8; n <= 64; ++n) {
      QByteArray bytes(n, '\0');
      for (int i = 0; i < n; ++i)
        bytes[i] = char((i * 37 + n) & 0xFF);
      fPayloads.push_back(bytes);
    }
    fLogText = QStringLiteral("Připojeno: 192.168.1.10:10001");
  }

  // A chain of `count` objects linked by NextDataObj, as the queue hands it out.
  TVexlinDataObject *Chain(size_t count) {
    TVexlinDataObject *first = nullptr;
    TVexlinDataObject *last = nullptr;
    for (size_t i = 0; i < count; ++i, ++fMade) {
      TVexlinDataObject *object;
      if (fMade % 16 == 15) {
        auto *log = new TVexlinDataLog;
        log->Text = fLogText;
        log->TextColor = 0x008000;
        object = log;
      } else {
        object =
            new TVexlinDataBinary(fPayloads[fMade * 7 % fPayloads.size()], fMade % 2 ? spRx : spTx);
      }
      object->Time = 45000.0 + double(fMade) / 86400000.0;
      if (last) {
        last->NextDataObj = object;
        object->PrevDataObj = last;
      } else {
        first = object;
      }
      last = object;
    }
    return first;
  }

private:
  std::vector<QByteArray> fPayloads;
  QString fLogText;
  size_t fMade = 0;
};
