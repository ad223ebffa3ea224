#pragma once

#include <functional>

class TVexlinDataObject;

// The window message that wakes the main window; kept for the inter-process
// and logging code that names it.
constexpr int WM_VexlinDataObject = 1024;

// Carries data objects from any thread to the main window. The target is
// notified only by the push that finds the queue empty, so a burst of pushes
// costs one notification; the main window then takes the whole chain.
void VexlinDataObjects_Initialize();
// Drops the target, destroys every object still queued and empties the
// registry of kinds.
void VexlinDataObjects_Finalize();

// Registers the function that the first push into an empty queue calls (on
// the pushing thread, outside the lock). The main window registers one that
// posts a queued call to the UI thread. An empty function unregisters. A
// target set while objects wait is called at once.
void VexlinDataObject_SetTarget(std::function<void()> notify);

// Appends `tdo` to the queue, which owns it from here on. Any thread.
void VexlicDataObject_PUSH(TVexlinDataObject *tdo);
// Appends a chain linked by NextDataObj (from `first` to `last`) in one
// step, so that a burst of packets costs one lock. Any thread.
void VexlinDataObject_PUSHChain(TVexlinDataObject *first, TVexlinDataObject *last);

// Hands out the whole queue as a chain linked by NextDataObj, or false when
// it is empty. The caller owns the chain. Main thread only.
bool VexlinDataObject_POP(TVexlinDataObject *&tdo);

// Destroys a chain from `first` on.
void FreeDataObjectChain(TVexlinDataObject *first);
