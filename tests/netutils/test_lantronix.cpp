#include "fakemodules.h"
#include "netutils/lantronixfinder.h"
#include "netutils/lantronixprotocol.h"
#include "netutils/moduleidentifier.h"
#include "netutils/telnetfilter.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <map>
#include <time.h>

namespace {

QByteArray Answer(qsizetype size, uint8_t kind) {
  QByteArray a(size, '\0');
  if (size > 3)
    a[3] = char(kind);
  if (size >= 30)
    a.replace(24, 6, QByteArray::fromHex("00204a123456"));
  return a;
}

TEST(LantronixProtocol, AnswersAreRecognisedByLengthAndKind) {
  const struct {
    qsizetype size;
    uint8_t kind;
    bool answer;
  } cases[] = {
      {30, 0xF7, true},   {29, 0xF7, false},   {30, 0xF6, false}, // our own query back
      {1472, 0xF7, true}, {1473, 0xF7, false}, {3, 0xF7, false},
  };
  for (const auto &c : cases) {
    const std::optional<QString> mac = DiscoveryAnswerMac(Answer(c.size, c.kind));
    EXPECT_EQ(mac.has_value(), c.answer) << c.size << " " << int(c.kind);
    if (mac) {
      EXPECT_EQ(*mac, "00:20:4A:12:34:56");
    }
  }
}

TEST(LantronixProtocol, IdentificationLiesBetweenMarkers) {
  const std::map<QByteArray, std::optional<QString>> cases = {
      {"**** XPort-03 ****", QStringLiteral("XPort-03")},
      {"MAC 00204A\r\n**** Pump station 4 ****\r\nPress Enter", QStringLiteral("Pump station 4")},
      {"****X****", QStringLiteral("")}, // the characters next to the markers are dropped
      {"**** no end", std::nullopt},
      {"*** three stars ***", std::nullopt},
      {"****", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(FindIdentification(text), expected) << text.constData();
}

TEST(TelnetFilter, RefusesOptionsOnceAndPassesDataAcrossBlocks) {
  TTelnetFilter telnet;
  QByteArray data, reply;
  // DO ECHO, WILL TTYPE, a sub-negotiation, an escaped 0xFF, a NOP; the
  // last command is split between the two blocks.
  telnet.Feed(QByteArray("ab\xFF\xFD\x01\xFF\xFB\x18\xFF\xFA\x18\x01\xFF\xF0"
                         "c\xFF",
                         16),
              data, reply);
  telnet.Feed(QByteArray("\xFF"
                         "d\xFF\xF1"
                         "e\xFF\xFD\x01\xFF",
                         9),
              data, reply);
  telnet.Feed(QByteArray("\xFD\x03", 2), data, reply);
  EXPECT_EQ(data, QByteArray("abc\xFF"
                             "de"));
  // ECHO is refused once even though it was asked for twice.
  EXPECT_EQ(reply, QByteArray("\xFF\xFC\x01\xFF\xFE\x18\xFF\xFC\x03", 9));
}

// Runs one query against a single fake module until it finishes; returns
// every state text it went through.
struct TQueryRun {
  QStringList states;
  quint32 received = 0;
};

TQueryRun RunQuery(TModuleIdentifier &identifier, const QHostAddress &address) {
  TQueryRun run;
  bool done = false;
  QObject::connect(&identifier, &TModuleIdentifier::infoChanged, &identifier,
                   [&](quint64, const QString &info, quint32 rcv) {
                     if (run.states.isEmpty() || run.states.last() != info)
                       run.states << info;
                     run.received = rcv;
                   });
  QObject::connect(&identifier, &TModuleIdentifier::finished, &identifier,
                   [&](quint64) { done = true; });
  identifier.Enqueue(address);
  EXPECT_TRUE(WaitFor([&] { return done; }, 20000));
  return run;
}

TIdentifyOptions Quick(quint16 port) {
  TIdentifyOptions options;
  options.port = port;
  options.connectTimeoutMs = 2000;
  options.answerTimeoutMs = 300;
  options.maxAttemptBytes = 8192;
  return options;
}

TEST(ModuleIdentifier, EachKindOfModuleEndsInItsState) {
  using B = TFakeModules::TBanner;
  const struct {
    B banner;
    QStringList states;
    int connections;
  } cases[] = {
      {B::Markers, {"query", "XPort-0"}, 1},
      // A banner cut between two reads is still found.
      {B::Split, {"query", "XPort-0"}, 1},
      // 15 bytes or more without the markers: no attempt after the first.
      {B::NoMarkers, {"query", "-"}, 1},
      {B::Short, {"query", "query (2)", "query (3)", "-"}, 4},
      {B::Silent, {"query", "query (2)", "query (3)", "-"}, 4},
      // A flood ends its attempt at the bound and is not asked again.
      {B::Flood, {"query", "-"}, 1},
  };
  for (const auto &c : cases) {
    TFakeModules modules(1, c.banner, 0, false);
    TModuleIdentifier identifier(Quick(modules.TelnetPort()));
    const TQueryRun run = RunQuery(identifier, QHostAddress::LocalHost);
    EXPECT_EQ(run.states, c.states) << int(c.banner);
    EXPECT_TRUE(WaitFor([&] { return modules.Connections() == c.connections; }, 2000))
        << int(c.banner) << ": " << modules.Connections();
    if (c.banner == B::Markers) {
      // Both option requests were refused.
      EXPECT_TRUE(WaitFor([&] { return modules.Received().size() >= 6; }, 2000));
      EXPECT_EQ(modules.Received(), QByteArray("\xFF\xFC\x01\xFF\xFE\x18", 6));
    }
    if (c.banner == B::Flood) {
      EXPECT_LE(run.received, 8192u + 4096u);
    }
  }
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Sixteen hostile modules at once, with the real timeouts and attempts:
// each is dropped with "-" once it has sent 64 KiB, and the whole search
// costs the process a bounded amount of CPU (it was a full core for up to
// 40 s per module before).
TEST(ModuleIdentifier, FloodingModulesAreDroppedAfterTheirFirst64KiB) {
  for (const auto banner :
       {TFakeModules::TBanner::OptionStorm, TFakeModules::TBanner::RandomFlood}) {
    TFakeModules modules(16, banner);
    TIdentifyOptions options;
    options.port = modules.TelnetPort();
    TModuleIdentifier identifier(options);
    std::map<quint64, QString> info;
    std::map<quint64, quint32> received;
    int finished = 0;
    QObject::connect(&identifier, &TModuleIdentifier::infoChanged, &identifier,
                     [&](quint64 id, const QString &text, quint32 rcv) {
                       info[id] = text;
                       received[id] = rcv;
                     });
    QObject::connect(&identifier, &TModuleIdentifier::finished, &identifier,
                     [&](quint64) { ++finished; });
    const double cpuBefore = ProcessCpuSeconds();
    for (int i = 0; i < 16; ++i)
      identifier.Enqueue(modules.Address(i));
    ASSERT_TRUE(WaitFor([&] { return finished == 16; }, 9000)) << int(banner) << ": " << finished;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    EXPECT_LT(cpu, 3.0) << int(banner);
    for (const auto &[id, text] : info) {
      EXPECT_EQ(text, "-") << int(banner);
      EXPECT_LE(received[id], 65536u) << int(banner);
    }
    // One attempt each, never a second.
    EXPECT_EQ(modules.Connections(), 16) << int(banner);
  }
}

TEST(ModuleIdentifier, ARefusedConnectionEndsTheQueryAtOnce) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
  const quint16 port = closed.serverPort();
  closed.close(); // nothing listens there now
  TModuleIdentifier identifier(Quick(port));
  EXPECT_EQ(RunQuery(identifier, QHostAddress::LocalHost).states, QStringList({"query", "-"}));
}

TEST(ModuleIdentifier, AtMostSixteenModulesAreAskedAtOnce) {
  TFakeModules modules(40, TFakeModules::TBanner::Silent);
  TIdentifyOptions options = Quick(modules.TelnetPort());
  options.answerTimeoutMs = 60000; // nobody's turn ends during the test
  TModuleIdentifier identifier(options);
  for (int i = 0; i < 40; ++i)
    identifier.Enqueue(modules.Address(i));
  ASSERT_TRUE(WaitFor([&] { return modules.Connections() >= 16; }, 5000));
  Settle(300);
  EXPECT_EQ(modules.Connections(), 16);
}

// The rest wait their turn and get it.
TEST(ModuleIdentifier, QueuedModulesAreAskedWhenOthersFinish) {
  TFakeModules modules(40, TFakeModules::TBanner::Markers);
  TModuleIdentifier identifier(Quick(modules.TelnetPort()));
  std::map<quint64, QString> info;
  int finished = 0;
  QObject::connect(&identifier, &TModuleIdentifier::infoChanged, &identifier,
                   [&](quint64 id, const QString &text, quint32) { info[id] = text; });
  QObject::connect(&identifier, &TModuleIdentifier::finished, &identifier,
                   [&](quint64) { ++finished; });
  std::map<quint64, int> module;
  for (int i = 0; i < 40; ++i)
    module[identifier.Enqueue(modules.Address(i))] = i;
  ASSERT_TRUE(WaitFor([&] { return finished == 40; }, 20000)) << finished;
  for (const auto &[id, i] : module)
    EXPECT_EQ(info[id], TFakeModules::Identification(i));
}

TEST(ModuleIdentifier, EndingWhileQueriesRunDoesNotWaitForThem) {
  TFakeModules modules(20, TFakeModules::TBanner::Silent);
  TIdentifyOptions options;
  options.port = modules.TelnetPort(); // the full ten seconds per attempt
  QElapsedTimer clock;
  {
    TModuleIdentifier identifier(options);
    for (int i = 0; i < 20; ++i)
      identifier.Enqueue(modules.Address(i));
    ASSERT_TRUE(WaitFor([&] { return modules.Connections() >= 16; }, 5000));
    clock.start();
  }
  EXPECT_LT(clock.elapsed(), 2000);
}

class LantronixFinderTest : public ::testing::Test {
protected:
  TDiscoveryTarget Target(const TFakeModules &modules) {
    TDiscoveryTarget target;
    target.address = QHostAddress(QStringLiteral("127.255.255.255"));
    target.port = modules.QueryPort();
    target.listenPort = 0;
    target.telnetPort = modules.TelnetPort();
    return target;
  }
};

TEST_F(LantronixFinderTest, EveryAnswerBecomesARowThatLearnsItsIdentification) {
  TFakeModules modules(3, TFakeModules::TBanner::Markers);
  // Foreign, short and oversize datagrams come first and are ignored.
  modules.BeforeAnswers = [](QUdpSocket &socket, const QHostAddress &to, quint16 port) {
    socket.writeDatagram(Answer(29, 0xF7), to, port);
    socket.writeDatagram(Answer(30, 0xF6), to, port);
    socket.writeDatagram(Answer(4000, 0xF7), to, port);
    socket.writeDatagram("hello", to, port);
  };
  TLantronixFinder finder(Target(modules), Quick(0));
  std::vector<std::unique_ptr<TVexlinDataLantronixScanItem>> rows;
  QObject::connect(&finder, &TLantronixFinder::moduleFound, &finder,
                   [&](TVexlinDataLantronixScanItem *item) { rows.emplace_back(item); });
  QString error;
  ASSERT_TRUE(finder.Start(&error)) << error.toStdString();
  EXPECT_TRUE(finder.Active());
  ASSERT_TRUE(WaitFor([&] { return rows.size() == 3; }, 5000)) << rows.size();
  ASSERT_TRUE(WaitFor([&] { return finder.RunningQueries() == 0; }, 10000));
  std::map<QString, std::pair<QString, QString>> found; // IP -> MAC, identification
  for (const auto &row : rows) {
    found[row->IP] = {row->MAC, row->Info};
    EXPECT_EQ(row->TR, 0u);
  }
  for (int i = 0; i < 3; ++i) {
    const QString ip = modules.Address(i).toString();
    ASSERT_EQ(found.count(ip), 1u) << ip.toStdString();
    EXPECT_EQ(found[ip].first, TFakeModules::Mac(i));
    EXPECT_EQ(found[ip].second, TFakeModules::Identification(i));
  }
  EXPECT_EQ(rows.size(), 3u); // nothing for the foreign datagrams
}

TEST_F(LantronixFinderTest, TheListenerClosesWhenItsTimeIsOver) {
  TFakeModules modules(1, TFakeModules::TBanner::Silent);
  TLantronixFinder finder(Target(modules), Quick(0));
  std::vector<std::unique_ptr<TVexlinDataLantronixScanItem>> rows;
  QObject::connect(&finder, &TLantronixFinder::moduleFound, &finder,
                   [&](TVexlinDataLantronixScanItem *item) { rows.emplace_back(item); });
  finder.SetListenTime(200);
  ASSERT_TRUE(finder.Start());
  EXPECT_FALSE(finder.CloseWhenDue());
  ASSERT_TRUE(WaitFor([&] { return finder.CloseWhenDue(); }, 2000));
  EXPECT_FALSE(finder.Active());
}

TEST_F(LantronixFinderTest, ABusyPortIsReported) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
  TFakeModules modules(1, TFakeModules::TBanner::Silent);
  TDiscoveryTarget target = Target(modules);
  target.listenPort = holder.localPort();
  TLantronixFinder finder(target, Quick(0));
  QString error;
  EXPECT_FALSE(finder.Start(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(finder.Active());
}

// A row that goes while its query runs ends the query; the finder going
// first leaves the rows without one.
TEST_F(LantronixFinderTest, RowsAndFinderMayGoInEitherOrder) {
  TFakeModules modules(2, TFakeModules::TBanner::Silent);
  std::vector<std::unique_ptr<TVexlinDataLantronixScanItem>> rows;
  {
    TLantronixFinder finder(Target(modules), Quick(0));
    QObject::connect(&finder, &TLantronixFinder::moduleFound, &finder,
                     [&](TVexlinDataLantronixScanItem *item) { rows.emplace_back(item); });
    ASSERT_TRUE(finder.Start());
    ASSERT_TRUE(WaitFor([&] { return rows.size() == 2 && modules.Connections() == 2; }, 5000));
    rows[0].reset();
    EXPECT_EQ(finder.RunningQueries(), 1u);
  }
  EXPECT_FALSE(rows[1]->fCancelQuery);
  EXPECT_EQ(rows[1]->TR, 0u);
}

} // namespace
