#pragma once

// A fresh network namespace for the calling thread, for the scope of one
// test: what the code under test reads or changes there (links, addresses,
// neighbour entries) never touches the host's network. Leaving the scope
// returns the thread to its own namespace, and the new one goes away.
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

class TNetifNamespace {
public:
  TNetifNamespace() {
    fHome = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (fHome < 0) {
      fWhy = QStringLiteral("no namespace file: %1").arg(QString::fromLocal8Bit(strerror(errno)));
      return;
    }
    if (unshare(CLONE_NEWNET) != 0) {
      fWhy = QStringLiteral("cannot make a network namespace: %1")
                 .arg(QString::fromLocal8Bit(strerror(errno)));
      return;
    }
    fEntered = true;
    // The tools below must exist, or the test cannot set the namespace up.
    if (!Ip(QStringLiteral("link set lo up"))) {
      fWhy = QStringLiteral("the ip tool does not work here");
      fReady = false;
    }
  }
  ~TNetifNamespace() {
    if (fEntered && setns(fHome, CLONE_NEWNET) != 0)
      std::abort(); // the rest of the run would happen in the wrong namespace
    if (fHome >= 0)
      close(fHome);
  }
  TNetifNamespace(const TNetifNamespace &) = delete;
  TNetifNamespace &operator=(const TNetifNamespace &) = delete;

  bool Ready() const { return fEntered && fReady; }
  QString Why() const { return fWhy; }

  // Runs "ip <arguments>" inside the namespace; true when it succeeded.
  static bool Ip(const QString &arguments) {
    const QByteArray command = "ip " + arguments.toLocal8Bit() + " >/dev/null 2>&1";
    return std::system(command.constData()) == 0;
  }

  // A veth pair v0 (10.9.0.1/24, up) and v1; false when veth links are
  // not available.
  static bool AddVethPair() {
    return Ip(QStringLiteral("link add v0 type veth peer name v1")) &&
           Ip(QStringLiteral("link set v0 address 02:00:00:00:00:10")) &&
           Ip(QStringLiteral("link set v0 up")) && Ip(QStringLiteral("link set v1 up")) &&
           Ip(QStringLiteral("addr add 10.9.0.1/24 dev v0"));
  }

private:
  int fHome = -1;
  bool fEntered = false;
  bool fReady = true;
  QString fWhy;
};

// Enters a namespace named `ns` for the rest of the test, or skips the test
// saying why it cannot (for files that use Google Test).
#define PT_ENTER_NETNS(ns)                                                                         \
  TNetifNamespace ns;                                                                              \
  if (!ns.Ready())                                                                                 \
  GTEST_SKIP() << ns.Why().toStdString()

#define PT_NETNS_VETH()                                                                            \
  if (!TNetifNamespace::AddVethPair())                                                             \
  GTEST_SKIP() << "veth links are not available"
