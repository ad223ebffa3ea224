#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

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
  benchmark::Shutdown();
  return 0;
}
