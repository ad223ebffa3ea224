#pragma once

#include <functional>

// Hands calls from any thread to the UI thread (the application's main
// thread), in the order they were made, and waits until each has run. The UI
// thread serves them from its event loop and also while it waits for another
// thread in WaitUntil, so a thread that reports while the UI thread waits for
// it to end never deadlocks.
class TUiThreadCalls {
public:
  // Runs `call` on the UI thread and returns once it has run. On the UI
  // thread, or without an application object, it runs at once. An exception
  // thrown by `call` is swallowed on the UI thread.
  static void Run(const std::function<void()> &call);

  // UI thread: returns once `done` is true, running handed-over calls
  // meanwhile. `done` is checked again after every Wake.
  static void WaitUntil(const std::function<bool()> &done);

  // Makes a WaitUntil check its condition again. Any thread.
  static void Wake();

  // Runs every pending call now. UI thread.
  static void Drain();

  static bool OnUiThread();
};
