#include "connections/hostresolver.h"

#include "connections/connectionreasons.h"

#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace {

TLookupResult SystemLookup(const QByteArray &host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  const int error = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
  TLookupResult result;
  if (error != 0) {
    // A name that does not exist needs no more words; a failing DNS does.
    const bool noSuchName = error == EAI_NONAME || error == EAI_NODATA;
    result.error =
        NoSuchHostText(QString::fromLatin1(host),
                       noSuchName ? QString() : QString::fromLocal8Bit(gai_strerror(error)));
    return result;
  }
  for (const addrinfo *at = found; at; at = at->ai_next) {
    const QHostAddress address(at->ai_addr);
    if (!address.isNull() && !result.addresses.contains(address))
      result.addresses.append(address);
  }
  ::freeaddrinfo(found);
  if (result.addresses.isEmpty())
    result.error = NoSuchHostText(QString::fromLatin1(host));
  return result;
}

class TSystemResolver : public THostResolver {
public:
  void Lookup(const QString &host, std::function<void(TLookupResult)> done) override {
    // Detached: a lookup that hangs must hold up nobody, not even the exit.
    std::thread([name = host.toUtf8(), done = std::move(done)] {
      done(SystemLookup(name));
    }).detach();
  }
};

} // namespace

std::shared_ptr<THostResolver> SystemResolver() {
  static const std::shared_ptr<THostResolver> resolver = std::make_shared<TSystemResolver>();
  return resolver;
}

std::shared_ptr<TPendingLookup> TPendingLookup::Start(THostResolver &resolver, const QString &host,
                                                      std::function<void()> wake) {
  auto lookup = std::make_shared<TPendingLookup>();
  lookup->fWake = std::move(wake);
  QHostAddress literal;
  if (literal.setAddress(host))
    lookup->Finish({{literal}, {}});
  else if (host.trimmed().isEmpty())
    lookup->Finish({{}, QStringLiteral("No host name given")});
  else
    resolver.Lookup(host, [lookup](TLookupResult result) { lookup->Finish(std::move(result)); });
  return lookup;
}

bool TPendingLookup::Done() const {
  std::lock_guard lock(fLock);
  return fDone;
}

TLookupResult TPendingLookup::Result() const {
  std::lock_guard lock(fLock);
  return fResult;
}

void TPendingLookup::Abandon() {
  std::lock_guard lock(fLock);
  fWake = nullptr;
}

void TPendingLookup::Finish(TLookupResult result) {
  // The wake runs under the lock, so Abandon returning means no wake is
  // running or will run.
  std::lock_guard lock(fLock);
  if (fDone)
    return;
  fDone = true;
  fResult = std::move(result);
  if (fWake)
    fWake();
}
