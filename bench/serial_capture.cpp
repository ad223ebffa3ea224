// The capture mode as a script runs it: the program itself, started with
// --capture on the slave of a pty and a log file, while random bytes are
// written into the master as fast as it takes them; closing the master
// (the device unplugged) ends it. Beside it the same bytes through an
// identical pty pair into a trivial reader thread: the ceiling.
#include "pipeline/databinary.h"
#include "pipeline/logfile.h"
#include "serial_ceiling.h"

#include <QTemporaryDir>
#include <chrono>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// The program with its arguments, standard error into a pipe we read.
class TCaptureProcess {
public:
  explicit TCaptureProcess(const QStringList &arguments) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<QByteArray> texts{QByteArray(PT_PROGRAM)};
    for (const QString &argument : arguments)
      texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &text : texts)
      argv.push_back(text.data());
    argv.push_back(nullptr);
    if (posix_spawn(&fPid, PT_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
      fPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    fErr = pipeFds[0];
  }
  ~TCaptureProcess() {
    if (fPid > 0) {
      ::kill(fPid, SIGKILL);
      ::waitpid(fPid, nullptr, 0);
    }
    if (fErr >= 0)
      ::close(fErr);
  }
  bool Started() const { return fPid > 0; }

  // Reads standard error until `text` appears; false on a time-out or end.
  bool WaitForText(const QByteArray &text, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!fErrText.contains(text)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd readable{fErr, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
        return false;
      char buffer[4096];
      const ssize_t n = ::read(fErr, buffer, sizeof buffer);
      if (n <= 0)
        return false;
      fErrText.append(buffer, n);
    }
    return true;
  }
  // Waits for the end; the exit code (-1 for a signal) and peak memory.
  int Wait(long &maxRssKiB) {
    int status = 0;
    rusage usage{};
    if (::wait4(fPid, &status, 0, &usage) != fPid)
      return -1;
    fPid = -1;
    maxRssKiB = usage.ru_maxrss;
    WaitForText("\n\n", 0); // the rest of standard error
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  QByteArray ErrText() const { return fErrText; }

private:
  pid_t fPid = -1;
  int fErr = -1;
  QByteArray fErrText;
};

// The received bytes of a log file, in order.
bool LoggedBytes(const QString &name, TStreamSum &sum) {
  return LoadLogFile(name, [&](std::unique_ptr<TVexlinDataObject> row) {
    if (auto *binary = dynamic_cast<TVexlinDataBinary *>(row.get());
        binary && binary->Direction == spRx)
      sum.Add(binary->Data.constData(), binary->Data.size());
  });
}

void BM_HeadlessCapture(benchmark::State &state) {
  PrepareDataObjects();
  const int64_t total = StreamBytes();
  const double mib = static_cast<double>(total) / (1 << 20);
  double seconds = 0;
  double ceilingSeconds = 0;
  long rssKiB = 0;
  for (auto _ : state) {
    if (!AddPtyCeiling(state, total, ceilingSeconds))
      return;

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("capture.vexlin.txt"));
    TStreamSum sent;
    {
      TBenchPty pty;
      TCaptureProcess capture({QStringLiteral("--capture"),
                               QStringLiteral("serial:%1:115200").arg(pty.Path()),
                               QStringLiteral("--log"), log});
      if (!capture.Started() || !capture.WaitForText("Serial port open", 20000)) {
        state.SkipWithError("the capture did not open the pty");
        return;
      }
      const auto start = Clock::now();
      WriteRandom(pty.Master(), total, sent);
      // A hang-up discards what the slave holds unread, as an unplug loses
      // what is on the wire: the master goes once the capture has it all.
      for (int quiet = 0; quiet < 3; quiet = pty.Unread() == 0 ? quiet + 1 : 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      pty.CloseMaster(); // unplugged: the capture ends
      long kib = 0;
      const int code = capture.Wait(kib);
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
      rssKiB = std::max(rssKiB, kib);
      if (code != 0) {
        state.SkipWithError(("the capture ended with " + std::to_string(code) + ": " +
                             capture.ErrText().toStdString())
                                .c_str());
        return;
      }
    }
    TStreamSum logged;
    if (!LoggedBytes(log, logged) || !(logged == sent)) {
      state.SkipWithError("the log does not hold every byte written");
      return;
    }
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["MiBps"] = mib * iterations / seconds;
  state.counters["ceiling_MiBps"] = mib * iterations / ceilingSeconds;
  state.counters["ceiling_ratio"] = ceilingSeconds / seconds;
  state.counters["rss_MiB"] = static_cast<double>(rssKiB) / 1024.0;
}
BENCHMARK(BM_HeadlessCapture)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
