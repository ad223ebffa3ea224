#pragma once

// The list the view benchmarks share: 10 million rows of packets and log
// lines, built once (by BM_ViewAppend, or on first use).
#include "pipeline/dataobjectregistry.h"
#include "qtbenchmain.h"
#include "view/terminalview.h"
#include "view_rows.h"

#include <QApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>

inline constexpr size_t kBigRows = 10'000'000;
inline constexpr size_t kBatch = 10'000;
inline constexpr int kWidth = 1000;
inline constexpr int kHeight = 700;

struct TBenchList {
  TBenchList() : view(tree) {
    RegisterVexlinDataObjectClasses();
    tree.resize(kWidth, kHeight);
    tree.show();
    QApplication::processEvents();
  }
  TVexlinTree tree;
  TTerminalView view;
};

// The 10-million-row list, built once by BM_ViewAppend (or on first use).
inline std::unique_ptr<TBenchList> gBig;
// The list is a widget: it must go before the application does.
inline const bool gBigCleanup = (BenchCleanups().push_back([] { gBig.reset(); }), true);

inline void Fill(TBenchList &list, size_t rows, benchmark::State *timed) {
  TBenchRowSource source;
  for (size_t done = 0; done < rows; done += kBatch) {
    if (timed)
      timed->PauseTiming();
    TVexlinDataObject *chain = source.Chain(std::min(kBatch, rows - done));
    if (timed)
      timed->ResumeTiming();
    list.view.AppendChain(chain);
  }
}

inline TBenchList &BigList() {
  if (!gBig) {
    gBig = std::make_unique<TBenchList>();
    Fill(*gBig, kBigRows, nullptr);
  }
  return *gBig;
}
