#include "view/rowmemory.h"

#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "view/vexlinnode.h"

namespace {

// The node, the object and the heap header of its bytes; a packet object is
// the common and largest of the usual kinds.
constexpr size_t kRowOverhead = sizeof(TVexlinNode) + sizeof(TVexlinDataBinary) + 32;

} // namespace

size_t RowMemory(const TVexlinDataObject &row) {
  // A log line's text is counted as it is stored, without making the bytes
  // the find bar would read from it.
  if (row.ClassType() == ClassOf<TVexlinDataLog>())
    return kRowOverhead +
           static_cast<size_t>(static_cast<const TVexlinDataLog &>(row).Text.size()) *
               sizeof(QChar);
  QByteArray scratch;
  return kRowOverhead + static_cast<size_t>(row.SearchBytes(scratch).size());
}
