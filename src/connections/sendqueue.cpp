#include "connections/sendqueue.h"

#include "base/pterror.h"

#include <cstring>
#include <limits>

TSendQueue::~TSendQueue() {
  // Unlink iteratively: a long chain must not recurse through destructors.
  while (Take()) {
  }
}

std::unique_ptr<TDataRec> TSendQueue::MakeRecord(const QByteArray &data) {
  if (data.size() > std::numeric_limits<int32_t>::max())
    throw EPtError("Block too large to queue");
  auto record = std::make_unique<TDataRec>();
  record->len = static_cast<int32_t>(data.size());
  record->data = std::make_unique<char[]>(static_cast<size_t>(data.size()));
  std::memcpy(record->data.get(), data.constData(), static_cast<size_t>(data.size()));
  return record;
}

std::unique_ptr<TDataRec> TSendQueue::Take() {
  std::lock_guard lock(fCsWantSendData);
  std::unique_ptr<TDataRec> record = std::move(fWantSendFirst);
  if (!record)
    return nullptr;
  fWantSendFirst = std::move(record->next);
  if (!fWantSendFirst)
    fWantSendLast = nullptr;
  return record;
}
