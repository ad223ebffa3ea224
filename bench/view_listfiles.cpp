// Saving and loading a large packet list through the window: how fast, and
// how long the window could not answer meanwhile (the work goes in slices).
#include "app/listfiles.h"
#include "window_support.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Runs the event loop until the save or load has ended.
void WaitForListFiles(TBenchWindow &w) {
  while (w.window.ListFiles()->Busy())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_ListSaveLoad(benchmark::State &state) {
  PrepareDataObjects();
  const int kRows = FullRun() ? 2000000 : 100000;
  const QString previous = QDir::currentPath();
  double saveMs = 0, loadMs = 0, saveStall = 0, loadStall = 0, megabytes = 0;
  int slices = 0;
  for (auto _ : state) {
    TBenchWindow w;
    // The proposed file name lands in the working folder: the scratch one.
    QDir::setCurrent(w.dir.path());
    TVexlinTree *list = w.window.vstTerminal();
    TBinaryRows listed;
    {
      TVexlinTreeUpdate update(*list);
      for (int i = 0; i < kRows; ++i) {
        auto *row = new TVexlinDataBinary(QByteArray(200, static_cast<char>(i)), spRx);
        row->Time = 45000.5;
        row->ParentVDT = list;
        list->AddRow(row);
        listed.Add(row);
      }
    }
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    {
      TStallMeter stall;
      clock.start();
      w.window.aSaveDataExecute();
      WaitForListFiles(w);
      saveMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      saveStall = stall.MaxStallMs();
      slices = w.window.ListFiles()->SliceCount();
    }
    const QStringList saved = QDir(w.dir.path()).entryList({QStringLiteral("*_log.txt")});
    if (saved.size() != 1) {
      state.SkipWithError("the list was not saved");
      break;
    }
    const QString name = w.dir.filePath(saved.front());
    megabytes = static_cast<double>(QFileInfo(name).size()) / 1e6;

    w.window.bClearClick();
    w.dialogs.openName = name;
    {
      TStallMeter stall;
      clock.start();
      w.window.aOpenDataExecute();
      WaitForListFiles(w);
      loadMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      loadStall = stall.MaxStallMs();
    }
    TBinaryRows loaded;
    for (size_t i = 0; i < list->RowCount(); ++i)
      loaded.Add(list->NodeAt(i)->Data);
    QDir::setCurrent(previous);
    if (!(loaded == listed)) {
      state.SkipWithError("the loaded rows differ from the saved ones");
      break;
    }
  }
  state.counters["file_MB"] = megabytes;
  state.counters["save_MBps"] = saveMs > 0 ? megabytes / (saveMs / 1e3) : 0;
  state.counters["load_MBps"] = loadMs > 0 ? megabytes / (loadMs / 1e3) : 0;
  state.counters["save_max_stall_ms"] = saveStall;
  state.counters["load_max_stall_ms"] = loadStall;
  state.counters["save_slices"] = slices;
}
BENCHMARK(BM_ListSaveLoad)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
