// Any bytes read as a saved log, in two pieces split anywhere: no crash, and
// the split must not change the rows.
#include "pipeline/dataobject.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray Read(const uint8_t *data, size_t size, size_t split) {
  QByteArray summary;
  TLogFileReader reader([&](std::unique_ptr<TVexlinDataObject> row) {
    summary.append(row->ClassType()->Name);
    summary.append(QByteArray::number(row->Time, 'g', 17));
    summary.append(row->GetText4Save());
    summary.append('\n');
  });
  reader.Feed(reinterpret_cast<const char *>(data), static_cast<qsizetype>(split));
  reader.Feed(reinterpret_cast<const char *>(data + split), static_cast<qsizetype>(size - split));
  reader.Finish();
  return summary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  RegisterVexlinDataObjectClasses();
  const size_t split = size ? data[0] % (size + 1) : 0;
  if (Read(data, size, split) != Read(data, size, 0))
    abort();
  return 0;
}
