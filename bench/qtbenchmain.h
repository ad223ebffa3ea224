#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>
#include <vector>

// What must go while the application object still exists (widgets kept
// from one benchmark to the next); run after the last benchmark.
inline std::vector<std::function<void()>> &BenchCleanups() {
  static std::vector<std::function<void()>> cleanups;
  return cleanups;
}

// Runs the benchmarks of an executable inside a Qt application object of
// the kind it needs. The user's saved settings are neither read nor touched,
// so no window restores a connection.
template <class TApp> int RunBenchmarksInQtApp(int argc, char **argv) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  TApp app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  for (const auto &cleanup : BenchCleanups())
    cleanup();
  benchmark::Shutdown();
  return 0;
}
