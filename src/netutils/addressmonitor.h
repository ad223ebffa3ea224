#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QTimer;

// Watches the local IPv4 addresses and reports every one added, removed or
// changed.

struct TAddressChange {
  int Adapter = 0; // the position in the address list
  QString NewIP;
  QString OldIP;
  bool operator==(const TAddressChange &) const = default;
};

// The changes from one address list to the next. More addresses: each new
// one not in the previous list; fewer: each old one not in the current list,
// both with "<unknown>" for the missing side; as many: each position whose
// address differs.
std::vector<TAddressChange> AddressChanges(const QStringList &previous, const QStringList &current);

// The log line of one change.
QString AddressChangeLine(const TAddressChange &change);

// The IPv4 addresses of every adapter but loopback, in the system's order;
// nothing when they cannot be read.
std::optional<QStringList> ReadLocalIpv4Addresses();

class TAddressMonitor : public QObject {
  Q_OBJECT
public:
  using TReader = std::function<std::optional<QStringList>()>;
  static constexpr int kIntervalMs = 500;

  explicit TAddressMonitor(QObject *parent = nullptr, TReader reader = ReadLocalIpv4Addresses);

  // Takes the current list as the starting point and polls from now on.
  void Start(int intervalMs = kIntervalMs);
  void Stop();
  // One poll now: compares the current list with the previous one. A list
  // that cannot be read is no change: the next readable one is compared.
  void Poll();
  // The last list read; nothing before the first readable one.
  const std::optional<QStringList> &Addresses() const { return fPrevious; }

signals:
  // On the thread the monitor lives in, once per change.
  void statusChanged(int adapter, const QString &newIP, const QString &oldIP);

private:
  TReader fReader;
  QTimer *fTimer;
  std::optional<QStringList> fPrevious;
};
