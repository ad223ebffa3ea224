#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Windows that have no parent window (each has its own task-bar entry) yet
// must not outlive their owner: whatever is still open goes with it.
class TOwnedWindows {
public:
  TOwnedWindows() = default;
  TOwnedWindows(const TOwnedWindows &) = delete;
  TOwnedWindows &operator=(const TOwnedWindows &) = delete;
  ~TOwnedWindows() {
    for (const QPointer<QWidget> &window : fWindows)
      delete window.data();
  }

  void Add(QWidget *window) {
    fWindows.removeAll(QPointer<QWidget>());
    fWindows << window;
  }

private:
  QList<QPointer<QWidget>> fWindows;
};
