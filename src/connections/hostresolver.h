#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>

// What a name lookup found: addresses, or the reason there are none.
struct TLookupResult {
  QList<QHostAddress> addresses;
  QString error;
};

// Name lookup that never blocks its caller: a lookup may take as long as the
// network's DNS (or never end), so the answer comes back through a callback.
class THostResolver {
public:
  virtual ~THostResolver() = default;
  // Starts looking up `host`; `done` runs at most once, on any thread
  // (possibly before Lookup returns).
  virtual void Lookup(const QString &host, std::function<void(TLookupResult)> done) = 0;
};

// The system's resolver (getaddrinfo), each lookup on a worker thread of its
// own that nobody waits for.
std::shared_ptr<THostResolver> SystemResolver();

// One lookup in progress, shared with its callback so that the side which
// started it may give up on it at any time. A literal address is answered at
// once without asking the resolver.
class TPendingLookup {
public:
  // `wake` runs (on any thread) when the answer comes in, unless abandoned.
  static std::shared_ptr<TPendingLookup> Start(THostResolver &resolver, const QString &host,
                                               std::function<void()> wake);

  bool Done() const;
  // The answer; valid once Done.
  TLookupResult Result() const;
  // No wake call after this returns; the answer, if it ever comes, is dropped.
  void Abandon();

private:
  void Finish(TLookupResult result);

  mutable std::mutex fLock;
  bool fDone = false;
  TLookupResult fResult;
  std::function<void()> fWake;
};
