#include "tools/presetbar.h"
#include "tools/presetstore.h"
#include "tools_support.h"

#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// 200 preset files of 100 presets each: read them all and build the tabs.
void BM_PresetLoad(benchmark::State &state) {
  QTemporaryDir dir;
  {
    TPresetsManager writer(dir.path());
    for (int g = 0; g < 200; ++g) {
      TPreset *group = writer.CreateNewPresetGroup(QStringLiteral("Skupina %1").arg(g));
      for (int p = 0; p < 100; ++p) {
        TXmlElement preset = group->Node().AddChild(QStringLiteral("preset"));
        preset.SetAttribute(QStringLiteral("caption"), QStringLiteral("Předvolba %1").arg(p));
        preset.SetAttribute(QStringLiteral("data"), QStringLiteral("2A61000531F3F3580D"));
      }
    }
  } // written when the store ends
  TIgnoringSink sink;
  QWidget window;
  double totalMs = 0;
  int buttons = 0;
  for (auto _ : state) {
    QTabWidget tabs;
    QElapsedTimer timer;
    timer.start();
    TPresetsManager store(dir.path());
    store.LoadPresets();
    TPresetBar bar(&tabs, store, sink, &window);
    bar.ReloadPresets();
    totalMs += timer.nsecsElapsed() / 1e6;
    buttons = 0;
    for (int i = 0; i < tabs.count(); ++i)
      buttons += int(tabs.widget(i)->findChildren<TDataButton *>().size());
  }
  if (buttons != 200 * 100)
    state.SkipWithError("not every preset has its button");
  state.counters["ms"] = totalMs / double(state.iterations());
}
BENCHMARK(BM_PresetLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
