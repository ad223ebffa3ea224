#pragma once

// The seven-step thread priority scale of the engine's settings.
enum TAfThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

// The calling thread's id for AfSetThreadPriority.
int AfCurrentThreadId();

// Best effort: raising a priority needs privileges a desktop user may lack,
// and the port works the same without it.
void AfSetThreadPriority(int threadId, TAfThreadPriority priority);
