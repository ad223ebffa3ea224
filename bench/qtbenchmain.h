#pragma once

#include <benchmark/benchmark.h>

// Runs the benchmarks of an executable inside a Qt application object of
// the kind it needs.
template <class TApp> int RunBenchmarksInQtApp(int argc, char **argv) {
  TApp app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
