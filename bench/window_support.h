#pragma once

// The whole window in a benchmark, offscreen: made in a scratch folder,
// answering no dialog, and the measures of a flood through it (every
// received byte accounted for, the longest stall of the UI thread, memory).
#include "app/mainwindow.h"
#include "bench_common.h"
#include "pipeline/databinary.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/logfile.h"
#include "stallmeter.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

// Answers nothing: the benchmarks never open a dialog. A save dialog
// answers `saveName`, an open dialog `openName` (empty: cancelled).
class TSilentDialogs : public TPtDialogs {
public:
  void ShowError(QWidget *, const QString &, const QString &) override {}
  void ShowMessage(QWidget *, const QString &) override {}
  TAnswer AskYesNoCancel(QWidget *, const QString &, const QString &) override { return Cancel; }
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
  QString SaveFileName(QWidget *, const QString &, const QString &) override { return saveName; }
  QString OpenFileName(QWidget *, const QString &) override { return openName; }
  bool AskNumber(QWidget *, const QString &, const QString &, int &, int, int) override {
    return false;
  }

  QString saveName;
  QString openName;
};

inline void PrepareDataObjects() {
  VexlinDataObjects_Initialize();
  RegisterVexlinDataObjectClasses();
}

// A window in a scratch folder, so its config.xml goes nowhere.
struct TBenchWindow {
  TBenchWindow() : window(dialogs, dir.filePath("config.xml")) {
    window.show();
    QCoreApplication::processEvents();
  }
  ~TBenchWindow() {
    window.vstTerminal()->Clear();
    QCoreApplication::processEvents();
  }
  QTemporaryDir dir;
  TSilentDialogs dialogs;
  TfMainPelmarTerm window;
};

// The binary rows of a packet list, or of a log file: how many, and their
// bytes in order.
struct TBinaryRows {
  int64_t count = 0;
  TStreamSum sum;
  void Add(const TVexlinDataObject *row) {
    if (const auto *binary = dynamic_cast<const TVexlinDataBinary *>(row)) {
      ++count;
      sum.Add(binary->Data.constData(), binary->Data.size());
    }
  }
  bool operator==(const TBinaryRows &) const = default;
};

// A flood recorded to a file in the window's scratch folder, when `on`: the
// rows that reach the list from the start must all be in the file.
class TFloodRecording {
public:
  TFloodRecording(TBenchWindow &w, bool on) : fWindow(w), fOn(on) {}
  ~TFloodRecording() {
    if (fWindow.window.Recording())
      fWindow.window.aRecordExecute();
    QFile::remove(FileName());
  }

  // False when the recording would not start.
  bool Start() {
    if (!fOn)
      return true;
    fFirstRow = fWindow.window.vstTerminal()->RowCount();
    fWindow.dialogs.saveName = FileName();
    fWindow.window.aRecordExecute();
    return fWindow.window.Recording();
  }
  // Stops the recording; false with `error` set when its file does not load
  // back to the binary rows the list got since the start.
  bool StopAndCheck(std::string &error) {
    if (!fOn)
      return true;
    if (!fWindow.window.Recording()) {
      error = "the recording stopped during the flood";
      return false;
    }
    fWindow.window.aRecordExecute();
    TBinaryRows listed;
    TVexlinTree *list = fWindow.window.vstTerminal();
    for (size_t i = fFirstRow; i < list->RowCount(); ++i)
      listed.Add(list->NodeAt(i)->Data);
    TBinaryRows recorded;
    QString reason;
    if (!LoadLogFile(
            FileName(), [&](std::unique_ptr<TVexlinDataObject> row) { recorded.Add(row.get()); },
            &reason)) {
      error = "the recording does not load: " + reason.toStdString();
      return false;
    }
    if (!(recorded == listed)) {
      error = "the recording holds " + std::to_string(recorded.count) + " rows of " +
              std::to_string(recorded.sum.bytes) + " bytes, the list " +
              std::to_string(listed.count) + " rows of " + std::to_string(listed.sum.bytes);
      return false;
    }
    return true;
  }

private:
  QString FileName() const { return fWindow.dir.filePath(QStringLiteral("flood.vexlin.txt")); }

  TBenchWindow &fWindow;
  bool fOn;
  size_t fFirstRow = 0;
};

// A reproducible stream of random bytes, made piece by piece.
class TRandomStream {
public:
  // Eight bytes a step: the writer must not be what limits a flood.
  void Next(char *data, int64_t size) {
    for (int64_t i = 0; i < size; i += 8) {
      fState ^= fState << 13;
      fState ^= fState >> 7;
      fState ^= fState << 17;
      std::memcpy(data + i, &fState, static_cast<size_t>(std::min<int64_t>(8, size - i)));
    }
  }

private:
  uint64_t fState = 0x9E3779B97F4A7C15ull;
};

constexpr int64_t kPiece = 64 * 1024;

inline bool WriteAllFd(int fd, const char *data, int64_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= n;
  }
  return true;
}

// Writes `total` random bytes into `fd` as fast as it takes them; their
// checksum goes to `sent`.
inline void WriteRandom(int fd, int64_t total, TStreamSum &sent) {
  TRandomStream random;
  QByteArray piece(kPiece, Qt::Uninitialized);
  for (int64_t at = 0; at < total; at += kPiece) {
    const int64_t n = std::min(kPiece, total - at);
    random.Next(piece.data(), n);
    sent.Add(piece.constData(), n);
    if (!WriteAllFd(fd, piece.constData(), n))
      return;
  }
}

// The received bytes the window shows: the rows of the packet list, in
// order, then the unparsed remainder. Rows are summed as they arrive.
class TWindowIntake {
public:
  explicit TWindowIntake(TfMainPelmarTerm &window) : fWindow(window) {}
  // True when rows and remainder hold `total` bytes; `sum` is then theirs.
  bool Complete(int64_t total, TStreamSum &sum) {
    TVexlinTree *rows = fWindow.vstTerminal();
    for (; fScanned < rows->RowCount(); ++fScanned) {
      const auto *binary = dynamic_cast<const TVexlinDataBinary *>(rows->NodeAt(fScanned)->Data);
      if (binary && binary->Direction == spRx)
        fRows.Add(binary->Data.constData(), binary->Data.size());
    }
    const QByteArray remainder = Remainder();
    if (static_cast<int64_t>(fRows.bytes) + remainder.size() != total ||
        fWindow.Receiver().RemainderPending())
      return false;
    sum = fRows;
    sum.Add(remainder.constData(), remainder.size());
    return true;
  }

private:
  QByteArray Remainder() const {
    TVexlinTree *rx = fWindow.vstRxBuffer();
    if (rx->RowCount() == 0)
      return {};
    return static_cast<const TVexlinDataBinary *>(rx->NodeAt(0)->Data)->Data;
  }

  TfMainPelmarTerm &fWindow;
  size_t fScanned = 0;
  TStreamSum fRows;
};

// Resident memory of the process in MiB.
inline double RssMiB() {
  long pages = 0;
  long resident = 0;
  if (FILE *f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

// One flood through the window: `write` sends `total` bytes from a thread
// of its own and sums them; the UI thread runs until the window shows them.
struct TFloodResult {
  bool Complete = false; // every byte shown, in order
  double Seconds = 0;
  double MaxStallMs = 0;
  double RssMiBPerMiB = 0;
};

// What the iterations of one flood benchmark add up to.
struct TFloodTotals {
  double Seconds = 0;
  double MaxStallMs = 0;
  double RssMiBPerMiB = 0;

  // Adds one run; false (with the benchmark's error set) when bytes went astray.
  bool Add(const TFloodResult &flood, benchmark::State &state) {
    Seconds += flood.Seconds;
    MaxStallMs = std::max(MaxStallMs, flood.MaxStallMs);
    RssMiBPerMiB = std::max(RssMiBPerMiB, flood.RssMiBPerMiB);
    if (!flood.Complete)
      state.SkipWithError("received bytes missing, extra or out of order");
    return flood.Complete;
  }
  // Stops the recording; false (with the benchmark's error set) when its
  // file misses rows.
  bool Recorded(TFloodRecording &record, benchmark::State &state) {
    std::string error;
    if (!record.StopAndCheck(error))
      state.SkipWithError(error.c_str());
    return error.empty();
  }
  // The counters both floods report; the rate in MiB/s.
  double Report(benchmark::State &state, double mib) const {
    const double rate = mib * static_cast<double>(state.iterations()) / Seconds;
    state.counters["MiBps"] = rate;
    state.counters["max_stall_ms"] = MaxStallMs;
    state.counters["rss_MiB_per_MiB"] = RssMiBPerMiB;
    state.counters["MiB"] = mib;
    return rate;
  }
};

inline TFloodResult RunFlood(TBenchWindow &w, int64_t total,
                             const std::function<void(TStreamSum &sent)> &write) {
  using Clock = std::chrono::steady_clock;
  QCoreApplication::processEvents();
  const double rssBefore = RssMiB();
  TWindowIntake intake(w.window);
  TStallMeter meter;
  TStreamSum sent;
  TStreamSum shown;
  const auto start = Clock::now();
  std::thread writer([&] { write(sent); });
  const auto deadline = start + std::chrono::minutes(10);
  bool complete = false;
  while (!complete && Clock::now() < deadline) {
    // Sleeps until something happens, as the program's own event loop does;
    // the stall meter's ticks wake it at least every 10 ms.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    complete = intake.Complete(total, shown);
  }
  TFloodResult result;
  result.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  result.MaxStallMs = meter.MaxStallMs();
  result.RssMiBPerMiB = (RssMiB() - rssBefore) / (static_cast<double>(total) / (1 << 20));
  result.Complete = complete && shown == sent;
  return result;
}
