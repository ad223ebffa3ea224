#include "pipeline/dataobjectqueue.h"

#include "pipeline/dataobject.h"
#include "pipeline/dataobjectregistry.h"

#include <mutex>

namespace {

std::mutex csVexlinDataObjects;
TVexlinDataObject *fVexlinDataObjectFirst = nullptr;
TVexlinDataObject *fVexlinDataObjectLast = nullptr;
// Read under the lock and called outside it.
std::function<void()> handle_WM_VexlinDataObject;

} // namespace

void VexlinDataObjects_Initialize() {
  std::lock_guard lock(csVexlinDataObjects);
  handle_WM_VexlinDataObject = nullptr;
  fVexlinDataObjectFirst = fVexlinDataObjectLast = nullptr;
  TVexlinDataObject::LeftDataOffset = 0;
}

void VexlinDataObjects_Finalize() {
  TVexlinDataObject *chain = nullptr;
  {
    std::lock_guard lock(csVexlinDataObjects);
    handle_WM_VexlinDataObject = nullptr;
    chain = fVexlinDataObjectFirst;
    fVexlinDataObjectFirst = fVexlinDataObjectLast = nullptr;
  }
  FreeDataObjectChain(chain);
  ClearDataObjectClasses();
}

void VexlinDataObject_SetTarget(std::function<void()> notify) {
  std::function<void()> pending;
  {
    std::lock_guard lock(csVexlinDataObjects);
    handle_WM_VexlinDataObject = std::move(notify);
    // Pushes made before there was a target notified nobody; the new target
    // hears of them now, or later pushes would never notify either.
    if (fVexlinDataObjectFirst)
      pending = handle_WM_VexlinDataObject;
  }
  if (pending)
    pending();
}

void VexlicDataObject_PUSH(TVexlinDataObject *tdo) {
  if (!tdo)
    return;
  tdo->NextDataObj = nullptr;
  VexlinDataObject_PUSHChain(tdo, tdo);
}

void VexlinDataObject_PUSHChain(TVexlinDataObject *first, TVexlinDataObject *last) {
  if (!first || !last)
    return;
  std::function<void()> notify;
  {
    std::lock_guard lock(csVexlinDataObjects);
    const bool wasEmpty = fVexlinDataObjectFirst == nullptr;
    first->PrevDataObj = fVexlinDataObjectLast;
    last->NextDataObj = nullptr;
    if (wasEmpty)
      fVexlinDataObjectFirst = first;
    else
      fVexlinDataObjectLast->NextDataObj = first;
    fVexlinDataObjectLast = last;
    if (wasEmpty)
      notify = handle_WM_VexlinDataObject;
  }
  if (notify)
    notify();
}

bool VexlinDataObject_POP(TVexlinDataObject *&tdo) {
  std::lock_guard lock(csVexlinDataObjects);
  tdo = fVexlinDataObjectFirst;
  fVexlinDataObjectFirst = fVexlinDataObjectLast = nullptr;
  return tdo != nullptr;
}

void FreeDataObjectChain(TVexlinDataObject *first) {
  while (first) {
    TVexlinDataObject *next = first->NextDataObj;
    // Cut the links first so each destructor has nothing left to relink.
    first->PrevDataObj = first->NextDataObj = nullptr;
    if (next)
      next->PrevDataObj = nullptr;
    delete first;
    first = next;
  }
}
