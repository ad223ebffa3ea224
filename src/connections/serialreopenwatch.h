#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

struct TDeviceChange;

// Watches for a serial device that went away to come back: the node the
// port was opened through appears again, directly or behind the same link
// (a /dev/serial/by-id name leading to a new ttyUSBn). It learns of it from
// the system's device events (DeviceChanged, fed by the window's monitor or
// a test) or from a light poll, as pseudo-terminals and links made by hand
// raise no device events.
//
// deviceBack is reported while watching; the watch goes on until Stop, so a
// listener that could not open the device yet simply leaves it running and
// is told again after a pause that grows with each failed try. A device that
// dies again soon after it came back is waited for longer each time, so a
// port that opens and drops at once never makes a tight loop.
class TSerialReopenWatch : public QObject {
  Q_OBJECT
public:
  static constexpr std::chrono::milliseconds kPoll{500};
  // A device lost sooner than this after it came back counts as unstable.
  static constexpr std::chrono::milliseconds kUnstable{5000};
  static constexpr std::chrono::milliseconds kLongestPause{60000};

  explicit TSerialReopenWatch(QObject *parent = nullptr);

  // The port is open through `path`: remembers it and, for a link, where it
  // leads now (once the device is gone the link may be gone as well).
  void Follow(const QString &path);
  // The device went: watch until it is back or `limit` passes (zero: no
  // limit). Does nothing when no path is followed.
  void Watch(std::chrono::milliseconds limit);
  void Stop();
  bool Watching() const { return fPoll.isActive(); }
  QString Path() const { return fPath; }
  // The device the path led to while the port was open; empty when it was
  // no link.
  QString Target() const { return fTarget; }
  // The pause before the next report may come; grows for an unstable device.
  std::chrono::milliseconds Pause() const { return fPause; }

  // One device event from the system; an "add" of the followed device
  // reports at once.
  void DeviceChanged(const TDeviceChange &change);
  // The event is about a tty whose node is the followed path or the device
  // behind its link (the one it led to, once the link is gone).
  bool IsFollowed(const TDeviceChange &change) const;

signals:
  void deviceBack();
  // The time limit passed without the device.
  void gaveUp();

private:
  void Check(bool announced);
  bool Present() const;
  bool IsWatchedNode(const QString &node) const;

  QString fPath;
  QString fTarget; // where the link led while the port was open
  QTimer fPoll;
  QTimer fLimit;
  QElapsedTimer fSinceBack;              // since deviceBack was last reported
  QElapsedTimer fSinceTry;               // since the current pause began
  std::chrono::milliseconds fPause{0};   // in force since fSinceTry
  std::chrono::milliseconds fBackoff{0}; // for a device that keeps dropping
  std::chrono::milliseconds fRetry{0};   // after a try that failed
};
