// Many `--send` clients at once against the whole window, offscreen: each
// client is the built program, so the exit status it gives a script is what
// is measured. Every client's block carries a token of its own, found again
// in the bytes the list shows. The window is the one the program makes,
// linked in through the same library; the clients are separate processes.
#include "app/ipc.h"
#include "app/parserpage.h"
#include "window_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRadioButton>
#include <memory>
#include <vector>

namespace {

constexpr int kClients = 500;

QByteArray Token(int i) {
  return '#' + QByteArray::number(i) + '\r';
}

// How often each token shows in the received bytes of the list.
QMap<int, int> ShownTokens(TVexlinTree *list) {
  QByteArray shown;
  for (size_t i = 0; i < list->RowCount(); ++i)
    if (const auto *binary = dynamic_cast<const TVexlinDataBinary *>(list->NodeAt(i)->Data);
        binary && binary->Direction == spRx)
      shown += binary->Data;
  QMap<int, int> counts;
  for (const QByteArray &part : shown.split('#'))
    if (part.endsWith('\r'))
      ++counts[part.chopped(1).toInt()];
  return counts;
}

void BM_IpcBurst(benchmark::State &state) {
  PrepareDataObjects();
  // A runtime folder of the benchmark's own, so no window of the user's is
  // disturbed; the clients inherit it.
  QTemporaryDir runtime;
  const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  int64_t falseFailures = 0, failures = 0, duplicates = 0, missing = 0;
  std::vector<double> latencies;
  for (auto _ : state) {
    TBenchWindow w;
    QString error;
    if (!w.window.ListenForOtherProcesses(&error)) {
      state.SkipWithError(("the window does not listen: " + error).toStdString().c_str());
      break;
    }
    // Each block a row of its own: the suffix parser, cutting after CR.
    w.window.ParserPage()->rbProtocolCustomParser->click();
    std::vector<std::unique_ptr<QProcess>> clients;
    std::vector<QElapsedTimer> started(kClients);
    std::vector<double> took(kClients, -1);
    for (int i = 0; i < kClients; ++i) {
      auto *client = new QProcess;
      clients.emplace_back(client);
      client->setProgram(QStringLiteral(PT_PROGRAM));
      client->setArguments({QStringLiteral("--receive"), QString::fromLatin1(Token(i).toHex())});
      client->setStandardOutputFile(QProcess::nullDevice());
      client->setStandardErrorFile(QProcess::nullDevice());
      QObject::connect(client, &QProcess::finished,
                       [&, i] { took[i] = static_cast<double>(started[i].nsecsElapsed()) / 1e6; });
      started[i].start();
      client->start();
      // The window serves the first clients while the rest start, as it
      // would in a process of its own.
      QCoreApplication::processEvents();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    const auto ended = [&] { return std::count(took.begin(), took.end(), -1.0) == 0; };
    while (!ended() && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!ended()) {
      state.SkipWithError("clients still running after 5 minutes");
      break;
    }
    // Blocks taken reach the list through the UI thread's queue and the
    // parser, which closes a row after a pause.
    QMap<int, int> shown;
    const auto settled = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      shown = ShownTokens(w.window.vstTerminal());
    } while (shown.size() < kClients && std::chrono::steady_clock::now() < settled);
    for (int i = 0; i < kClients; ++i) {
      const int times = shown.value(i);
      const bool taken =
          clients[i]->exitStatus() == QProcess::NormalExit && clients[i]->exitCode() == 0;
      duplicates += qMax(0, times - 1);
      falseFailures += (!taken && times > 0) ? 1 : 0;
      failures += taken ? 0 : 1;
      missing += (taken && times == 0) ? 1 : 0;
      latencies.push_back(took[i]);
    }
  }
  if (oldRuntime.isNull())
    qunsetenv("XDG_RUNTIME_DIR");
  else
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
  std::sort(latencies.begin(), latencies.end());
  state.counters["clients"] = kClients;
  state.counters["false_failures"] = static_cast<double>(falseFailures);
  state.counters["failures"] = static_cast<double>(failures);
  state.counters["duplicates"] = static_cast<double>(duplicates);
  state.counters["missing"] = static_cast<double>(missing);
  if (!latencies.empty()) {
    state.counters["p99_ms"] = latencies[(latencies.size() * 99) / 100];
    state.counters["max_ms"] = latencies.back();
  }
}

} // namespace

BENCHMARK(BM_IpcBurst)->Iterations(1)->Unit(benchmark::kMillisecond);
