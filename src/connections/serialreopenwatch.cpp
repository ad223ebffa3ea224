#include "connections/serialreopenwatch.h"

#include "connections/devicechange.h"

#include <QFileInfo>
#include <algorithm>

using std::chrono::milliseconds;

namespace {

constexpr milliseconds kFirstBackoff{1000};
constexpr milliseconds kLongestRetry{8000};

milliseconds Doubled(milliseconds pause, milliseconds first, milliseconds most) {
  return std::clamp(pause * 2, first, most);
}

} // namespace

TSerialReopenWatch::TSerialReopenWatch(QObject *parent) : QObject(parent) {
  fPoll.setInterval(kPoll);
  connect(&fPoll, &QTimer::timeout, this, [this] { Check(false); });
  fLimit.setSingleShot(true);
  connect(&fLimit, &QTimer::timeout, this, [this] {
    Stop();
    emit gaveUp();
  });
}

void TSerialReopenWatch::Follow(const QString &path) {
  fPath = path;
  const QFileInfo info(path);
  if (!info.isSymLink())
    fTarget.clear();
  else if (fTarget = info.canonicalFilePath(); fTarget.isEmpty())
    fTarget = info.symLinkTarget(); // leading nowhere yet
}

void TSerialReopenWatch::Watch(milliseconds limit) {
  if (fPath.isEmpty())
    return;
  const bool unstable = fSinceBack.isValid() && fSinceBack.elapsed() < kUnstable.count();
  fBackoff = unstable ? Doubled(fBackoff, kFirstBackoff, kLongestPause) : milliseconds{0};
  fPause = fBackoff;
  fRetry = milliseconds{0};
  fSinceTry.start();
  fPoll.start();
  if (limit.count() > 0)
    fLimit.start(limit);
  else
    fLimit.stop();
}

void TSerialReopenWatch::Stop() {
  fPoll.stop();
  fLimit.stop();
}

void TSerialReopenWatch::DeviceChanged(const TDeviceChange &change) {
  if (Watching() && change.action == QLatin1String("add") && IsFollowed(change))
    Check(true);
}

bool TSerialReopenWatch::IsFollowed(const TDeviceChange &change) const {
  return !fPath.isEmpty() && change.subsystem == QLatin1String("tty") &&
         !change.sysname.isEmpty() && IsWatchedNode(QStringLiteral("/dev/") + change.sysname);
}

bool TSerialReopenWatch::IsWatchedNode(const QString &node) const {
  if (node == fPath)
    return true;
  // A link is followed to where it leads now; while it leads nowhere, the
  // device it led to before may be the one coming back.
  const QString now = QFileInfo(fPath).canonicalFilePath();
  return now.isEmpty() ? node == fTarget : node == now;
}

bool TSerialReopenWatch::Present() const {
  return QFileInfo(fPath).exists(); // a link counts only with its device there
}

void TSerialReopenWatch::Check(bool announced) {
  if (!Watching() || fSinceTry.elapsed() < fPause.count())
    return; // an event in a pause is not lost: the poll finds the device after it
  if (!announced && !Present())
    return;
  fSinceBack.start();
  emit deviceBack();
  if (!Watching())
    return;
  // Not taken yet (the device is still being set up): ask again later.
  fRetry = Doubled(fRetry, kPoll, kLongestRetry);
  fPause = fRetry;
  fSinceTry.start();
}
