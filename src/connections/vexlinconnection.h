#pragma once

#include "connections/connectionstatus.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class TVexlinConnection;

// The status handler: (connection, status, AStatusText, aSIG, aData). It runs
// on the thread that raised the status.
using TVexlinConnectionNotifyStatusChange =
    std::function<void(TVexlinConnection *, TVexlinConnectionStatus, const QString &,
                       const QByteArray &, const QByteArray &)>;

// A network transport as the main window sees it: opened and closed by the
// user, configured by named text settings, reporting every change of state
// and every arrival of data through one status handler.
class TVexlinConnection {
public:
  TVexlinConnection() = default;
  TVexlinConnection(const TVexlinConnection &) = delete;
  TVexlinConnection &operator=(const TVexlinConnection &) = delete;
  virtual ~TVexlinConnection() = default;

  // Settings by name, case-insensitive. The base knows none: it reads the
  // empty text and ignores writes. A refused value raises EPtError.
  virtual QString GetSettings(const QString &name) const;
  virtual void SetSettings(const QString &name, const QString &value);

  bool Open() { return InternalOpen(); }
  bool Close() { return InternalClose(); }

  virtual bool WaitingData() = 0;
  // Appends the waiting bytes to aBuffer; true if it read any.
  virtual bool Read(QByteArray &aBuffer) = 0;
  virtual void Send(const QByteArray &aData) = 0;
  virtual QString GetDescription() const = 0;
  virtual QString GetStrSettings() const = 0;

  TVexlinConnectionStatus Status() const { return fStatus.load(); }
  QString StatusText() const;
  // Assign before Open; the handler may run on any thread.
  void SetOnStatus(TVexlinConnectionNotifyStatusChange handler);

protected:
  virtual bool InternalOpen() = 0;
  virtual bool InternalClose() = 0;
  // States notify only when they change; events always notify.
  void SetStatus(TVexlinConnectionStatus aStatus, const QString &AStatusText = {},
                 const QByteArray &aSIG = {}, const QByteArray &aData = {});

private:
  mutable std::mutex fStatusLock;
  std::atomic<TVexlinConnectionStatus> fStatus{tcsUnknown};
  QString fStatusText;
  // Swapped whole, so a process thread never sees a half-assigned handler.
  std::atomic<std::shared_ptr<const TVexlinConnectionNotifyStatusChange>> fOnStatus;
};
