#pragma once

#include "connections/connectioncontroller.h"
#include "waitfor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <mutex>
#include <vector>

struct TLogLine {
  QString text;
  TColor color;
  bool operator==(const TLogLine &) const = default;
};

// Records what the connection handling lends the window; thread-safe.
class TRecordingWindow {
public:
  TConnectionWindow Window() {
    TConnectionWindow window;
    window.Receive = [this](const QByteArray &data, const QByteArray &sig, int64_t) {
      std::lock_guard lock(fLock);
      fReceived[sig].append(data);
      ++fReceiveCalls;
    };
    window.LogInfoMsg = [this](const QString &text, TColor color) {
      std::lock_guard lock(fLock);
      fLines.push_back({text, color});
    };
    window.StatusBarRefresh = [this](const QString &line) {
      std::lock_guard lock(fLock);
      fStatusBar.push_back(line);
    };
    window.PanelRefresh = [this] {
      std::lock_guard lock(fLock);
      ++fPanelRefreshes;
    };
    window.ShowError = [this](const QString &message) {
      std::lock_guard lock(fLock);
      fShownErrors.push_back(message);
    };
    return window;
  }

  std::vector<TLogLine> Lines() const {
    std::lock_guard lock(fLock);
    return fLines;
  }
  bool HasLine(const TLogLine &line) const {
    std::lock_guard lock(fLock);
    return std::find(fLines.begin(), fLines.end(), line) != fLines.end();
  }
  QByteArray Received(const QByteArray &sig = {}) const {
    std::lock_guard lock(fLock);
    return fReceived.value(sig);
  }
  std::vector<QString> StatusBar() const {
    std::lock_guard lock(fLock);
    return fStatusBar;
  }
  int ReceiveCalls() const {
    std::lock_guard lock(fLock);
    return fReceiveCalls;
  }
  std::vector<QString> ShownErrors() const {
    std::lock_guard lock(fLock);
    return fShownErrors;
  }

private:
  mutable std::mutex fLock;
  std::vector<TLogLine> fLines;
  QMap<QByteArray, QByteArray> fReceived;
  int fReceiveCalls = 0;
  std::vector<QString> fStatusBar;
  int fPanelRefreshes = 0;
  std::vector<QString> fShownErrors;
};
