#include "bench_common.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "view/terminalview.h"
#include "view_biglist.h"
#include "view_rows.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTreeView>
#include <chrono>
#include <memory>

namespace {

void Render(QWidget &widget, QImage &image) {
  widget.render(&image);
  benchmark::DoNotOptimize(image.constBits());
}

void BM_ViewAppend(benchmark::State &state) {
  gBig.reset();
  for (auto _ : state) {
    state.PauseTiming();
    gBig.reset();
    gBig = std::make_unique<TBenchList>();
    state.ResumeTiming();
    Fill(*gBig, kBigRows, &state);
  }
  state.counters["rows_per_s"] = benchmark::Counter(double(kBigRows) * double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
  state.counters["bytes_per_row"] = double(gBig->tree.MemoryUsage()) / double(kBigRows);
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_ViewAppend)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ViewPaint(benchmark::State &state) {
  TBenchList &list = BigList();
  TVexlinTree &tree = list.tree;
  const int64_t maxY = tree.TotalHeight() - tree.viewport()->height();
  const int64_t y[] = {0, maxY / 2, maxY};
  tree.SetScrollY(y[state.range(0)]);
  QApplication::processEvents();
  QImage image(tree.size(), QImage::Format_RGB32);
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    Render(tree, image);
    ms +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["ms"] = ms / double(state.iterations());
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_ViewPaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A width change: every kind hears the new data width, every row becomes
// unmeasured, and the visible rows are measured and painted at once. The
// rows out of sight are re-measured by the list's background pass, whose
// duration is reported as background_ms.
void BM_ViewWidthChange(benchmark::State &state) {
  TBenchList &list = BigList();
  TVexlinTree &tree = list.tree;
  // The scroll to the last row the filling asked for comes first: the
  // list then rests in the middle, and the rows below are measured by the
  // background pass.
  while (tree.IsFramePending())
    QApplication::processEvents();
  tree.SetScrollY((tree.TotalHeight() - kHeight) / 2);
  QImage image(QSize(kWidth + 100, kHeight), QImage::Format_RGB32);
  double ms = 0;
  double background = 0;
  int width = kWidth;
  for (auto _ : state) {
    width = width == kWidth ? kWidth + 100 : kWidth;
    const auto start = std::chrono::steady_clock::now();
    tree.resize(width, kHeight);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 0);
    Render(tree, image);
    const auto painted = std::chrono::steady_clock::now();
    ms += std::chrono::duration<double, std::milli>(painted - start).count();
    state.PauseTiming();
    const auto bgStart = std::chrono::steady_clock::now();
    while (!tree.IsMeasured(tree.LastNode()))
      QApplication::processEvents();
    background +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - bgStart)
            .count();
    state.ResumeTiming();
  }
  state.counters["ms"] = ms / double(state.iterations());
  state.counters["background_ms"] = background / double(state.iterations());
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_ViewWidthChange)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr size_t kScrollRows = 1'000'000;

void BM_AppendScroll1M(benchmark::State &state) {
  gBig.reset(); // keep the machine's memory for this run
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto list = std::make_unique<TBenchList>();
    Fill(*list, kScrollRows, nullptr);
    list->tree.ScrollToNode(list->tree.LastNode(), false);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 0);
    QImage image(list->tree.size(), QImage::Format_RGB32);
    Render(list->tree, image);
    ms +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming(); // not the teardown
    list.reset();
    state.ResumeTiming();
  }
  state.counters["ms"] = ms / double(state.iterations());
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_AppendScroll1M)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows through Qt's item views: a flat model whose rows give their
// height through the size-hint role.
class TRowModel : public QAbstractItemModel {
public:
  explicit TRowModel(TVexlinView &measuringView) : fView(measuringView) {}
  ~TRowModel() override {
    for (TVexlinDataObject *o : fRows)
      delete o;
  }
  void AppendChain(TVexlinDataObject *first) {
    std::vector<TVexlinDataObject *> batch;
    for (TVexlinDataObject *o = first; o; o = o->NextDataObj)
      batch.push_back(o);
    const int start = int(fRows.size());
    beginInsertRows({}, start, start + int(batch.size()) - 1);
    for (TVexlinDataObject *o : batch) {
      o->PrevDataObj = o->NextDataObj = nullptr;
      fRows.push_back(o);
    }
    endInsertRows();
  }
  QModelIndex index(int row, int column, const QModelIndex &parent) const override {
    return parent.isValid() ? QModelIndex() : createIndex(row, column);
  }
  QModelIndex parent(const QModelIndex &) const override { return {}; }
  int rowCount(const QModelIndex &parent) const override {
    return parent.isValid() ? 0 : int(fRows.size());
  }
  int columnCount(const QModelIndex &) const override { return 4; }
  QVariant data(const QModelIndex &index, int role) const override {
    TVexlinDataObject *o = fRows[size_t(index.row())];
    if (role == Qt::SizeHintRole) {
      int height = 16;
      o->MeasureHeight(fView, nullptr, nullptr, height);
      return QSize(100, height);
    }
    if (role == Qt::DisplayRole && index.column() == 0)
      return index.row();
    return {};
  }

private:
  TVexlinView &fView;
  std::vector<TVexlinDataObject *> fRows;
};

void BM_TreeViewAppendScroll1M(benchmark::State &state) {
  gBig.reset();
  TVexlinTree measuring; // what the objects measure against
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    {
      // The teardown is not part of the figure: the timer pauses before the
      // view and model go out of scope and resumes after them.
      struct TResume {
        benchmark::State &s;
        ~TResume() { s.ResumeTiming(); }
      } resume{state};
      TRowModel model(measuring);
      QTreeView view;
      view.setUniformRowHeights(false);
      view.setRootIsDecorated(false);
      view.setModel(&model);
      view.resize(kWidth, kHeight);
      view.show();
      TBenchRowSource source;
      for (size_t done = 0; done < kScrollRows; done += kBatch) {
        model.AppendChain(source.Chain(kBatch));
        view.scrollToBottom();
      }
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 0);
      QImage image(view.size(), QImage::Format_RGB32);
      Render(view, image);
      ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
      state.PauseTiming();
    }
  }
  state.counters["ms"] = ms / double(state.iterations());
  state.counters["memcpy_MBps"] = MeasureMemcpyMBps(1 << 20);
}
BENCHMARK(BM_TreeViewAppendScroll1M)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
