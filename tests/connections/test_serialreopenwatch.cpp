// Watching for a lost serial device to come back: by the path the port was
// opened through or the link it followed, from device events or the poll.
#include "connections/devicechange.h"
#include "connections/serialreopenwatch.h"
#include "waitfor.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class SerialReopenWatch : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QObject::connect(&watch, &TSerialReopenWatch::deviceBack, [this] {
      ++backs;
      if (takes)
        watch.Stop(); // the port opened
    });
    QObject::connect(&watch, &TSerialReopenWatch::gaveUp, [this] { ++gaveUp; });
  }
  // A stand-in for a device node: the watch only looks whether it is there.
  QString Node(const QString &name) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    return path;
  }
  QString Link(const QString &target) {
    const QString link = dir.filePath(QStringLiteral("port"));
    QFile::remove(link);
    EXPECT_TRUE(QFile::link(target, link));
    return link;
  }

  QTemporaryDir dir;
  TSerialReopenWatch watch;
  int backs = 0;
  int gaveUp = 0;
  bool takes = true;
};

TEST_F(SerialReopenWatch, ALinkLeadingToANewDeviceIsFoundByThePoll) {
  const QString first = Node(QStringLiteral("pts1"));
  const QString link = Link(first);
  watch.Follow(link);
  EXPECT_EQ(watch.Target(), first);
  ASSERT_TRUE(QFile::remove(first)); // unplugged: the link leads nowhere
  watch.Watch(0ms);
  Settle(int(3 * TSerialReopenWatch::kPoll.count()));
  EXPECT_EQ(backs, 0);
  EXPECT_TRUE(watch.Watching());

  Link(Node(QStringLiteral("pts2")));
  ASSERT_TRUE(WaitFor([&] { return backs == 1; }));
  EXPECT_FALSE(watch.Watching());
  EXPECT_EQ(watch.Path(), link);
}

TEST_F(SerialReopenWatch, OnlyAnAddOfTheWatchedTtyReportsAtOnce) {
  // Nodes that are not there, so that the poll never answers.
  const QString path = QStringLiteral("/dev/ttyPtWatchGone0");
  const struct {
    TDeviceChange change;
    bool back;
  } cases[] = {
      {{"remove", "tty", "ttyPtWatchGone0", "/devices/x/ttyPtWatchGone0"}, false},
      {{"add", "usb", "ttyPtWatchGone0", "/devices/x"}, false},
      {{"add", "tty", "ttyPtWatchGone1", "/devices/x/ttyPtWatchGone1"}, false},
      {{"add", "tty", "", "/devices/x"}, false},
      {{"add", "tty", "ttyPtWatchGone0", "/devices/x/ttyPtWatchGone0"}, true},
  };
  for (const auto &c : cases) {
    backs = 0;
    watch.Follow(path);
    watch.Watch(0ms);
    watch.DeviceChanged(c.change); // no event loop: nothing but the event can report
    EXPECT_EQ(backs, c.back ? 1 : 0)
        << c.change.action.toStdString() << ' ' << c.change.subsystem.toStdString() << ' '
        << c.change.sysname.toStdString();
    watch.Stop();
  }

  // Not watching: nothing.
  backs = 0;
  watch.DeviceChanged(cases[4].change);
  EXPECT_EQ(backs, 0);

  // Through a link that leads nowhere now: the device it led to. A fresh
  // watch, as the one above just saw its device come back.
  TSerialReopenWatch viaLink;
  int linked = 0;
  QObject::connect(&viaLink, &TSerialReopenWatch::deviceBack, [&] { ++linked; });
  viaLink.Follow(Link(path));
  EXPECT_EQ(viaLink.Target(), path);
  viaLink.Watch(0ms);
  viaLink.DeviceChanged(cases[4].change);
  EXPECT_EQ(linked, 1);
}

TEST_F(SerialReopenWatch, GivesUpAfterTheLimit) {
  watch.Follow(QStringLiteral("/dev/ttyPtWatchGone0"));
  watch.Watch(50ms);
  ASSERT_TRUE(WaitFor([&] { return gaveUp == 1; }));
  EXPECT_FALSE(watch.Watching());
  EXPECT_EQ(backs, 0);

  // Without a path there is nothing to watch.
  TSerialReopenWatch idle;
  idle.Watch(0ms);
  EXPECT_FALSE(idle.Watching());
}

TEST_F(SerialReopenWatch, ADeviceThatKeepsFailingIsAskedForLessAndLessOften) {
  const TDeviceChange add{"add", "tty", "ttyPtWatchGone0", "/devices/x/ttyPtWatchGone0"};
  watch.Follow(QStringLiteral("/dev/ttyPtWatchGone0"));

  // Back, opened, and lost again at once, over and over.
  watch.Watch(0ms);
  EXPECT_EQ(watch.Pause(), 0ms);
  watch.DeviceChanged(add);
  ASSERT_EQ(backs, 1);
  for (const auto pause : {1000ms, 2000ms, 4000ms}) {
    watch.Watch(0ms);
    EXPECT_EQ(watch.Pause(), pause);
    watch.DeviceChanged(add); // within the pause: not yet
    EXPECT_EQ(backs, 1);
  }
  watch.Stop();

  // Back but not ready to open: asked again after a growing pause.
  TSerialReopenWatch fresh;
  int tries = 0;
  QObject::connect(&fresh, &TSerialReopenWatch::deviceBack, [&] { ++tries; });
  fresh.Follow(QStringLiteral("/dev/ttyPtWatchGone0"));
  fresh.Watch(0ms);
  fresh.DeviceChanged(add);
  EXPECT_EQ(tries, 1);
  EXPECT_TRUE(fresh.Watching());
  EXPECT_EQ(fresh.Pause(), TSerialReopenWatch::kPoll);
  fresh.DeviceChanged(add);
  EXPECT_EQ(tries, 1);
}

} // namespace
