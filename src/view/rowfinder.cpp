#include "view/rowfinder.h"

#include "pipeline/databinary.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"

#include <QTimer>

namespace {

// Rows between two looks at the clock, or fewer when they are long.
constexpr size_t kRowsPerCheck = 256;
constexpr size_t kBytesPerCheck = 256 * 1024;
// Rows filtered between two relayouts of the list, at most.
constexpr size_t kFilterChunk = 8192;
// Stands for the last place of a row's walk before the walk is made.
constexpr size_t kLastInside = SIZE_MAX;

} // namespace

TRowFinder::TRowFinder(TVexlinTree &tree, QObject *parent)
    : QObject(parent), fTree(tree), fLongest(tree), fWork(new QTimer(this)),
      fNewRows(new QTimer(this)) {
  fWork->setSingleShot(true);
  fWork->setInterval(0);
  connect(fWork, &QTimer::timeout, this, &TRowFinder::Step);
  fNewRows->setInterval(250);
  connect(fNewRows, &QTimer::timeout, this, [this] {
    if (fPattern && fCountedTo < fTree.RowCount())
      Schedule();
  });
  // Removed rows take the positions and counts with them.
  connect(&fTree, &TVexlinTree::rowsRemoved, this, [this] {
    const bool refilter = fFilterOn || FilterBusy();
    Reset();
    fLongest.Reset();
    if (refilter)
      SetFilter(fFilterOn);
  });
}

TRowFinder::~TRowFinder() {
  if (TVexlinDataBinary::FindMarks == Pattern())
    TVexlinDataBinary::FindMarks = nullptr;
  ForgetCurrentMark();
  fTree.SetRowFilter(nullptr);
}

void TRowFinder::ForgetCurrentMark() {
  // Compared, never followed: the row may be gone already.
  if (fCurrentMark && TVexlinDataBinary::FindCurrent == fCurrentMark)
    TVexlinDataBinary::FindCurrent = nullptr;
  fCurrentMark = nullptr;
}

void TRowFinder::SetPattern(std::optional<TByteFinder> pattern) {
  if (TVexlinDataBinary::FindMarks == Pattern())
    TVexlinDataBinary::FindMarks = nullptr;
  fPattern = std::move(pattern);
  TVexlinDataBinary::FindMarks = Pattern();
  // A pass that shows every row again (the filter just switched off) must
  // finish too, or rows stay hidden with the filter off.
  const bool refilter = fFilterOn || FilterBusy();
  Reset();
  if (fPattern)
    fNewRows->start();
  else
    fNewRows->stop();
  if (refilter)
    SetFilter(fFilterOn);
  fTree.viewport()->update();
  Schedule();
  emit countChanged();
}

void TRowFinder::Reset() {
  fFind = TFind();
  ForgetCurrentMark();
  fCurrent = nullptr;
  fCurrentTop = -1;
  fCountedTo = 0;
  fMatchingRows = 0;
  fOccurrences = 0;
  fOrdinal = 0;
  fFilterAt = fFilterTo = 0;
  fReturnTo = nullptr;
}

bool TRowFinder::Counted() const {
  return fPattern && fCountedTo >= fTree.RowCount();
}

std::optional<qsizetype> TRowFinder::LongestRow() {
  QElapsedTimer slice;
  slice.start();
  if (!fLongest.Measure(slice, kSliceMs)) {
    Schedule(); // the rest is measured in later slices
    return std::nullopt;
  }
  return fLongest.Longest();
}

bool TRowFinder::Matches(const TVexlinNode &node) const {
  if (!fPattern || !node.Data)
    return false;
  QByteArray scratch;
  const QByteArrayView bytes = node.Data->SearchBytes(scratch);
  fScanned += static_cast<size_t>(bytes.size());
  return fPattern->IndexIn(bytes) >= 0;
}

size_t TRowFinder::CountMatches(const TVexlinNode &node, size_t &occurrences) const {
  if (!node.Data)
    return 0;
  QByteArray scratch;
  const QByteArrayView bytes = node.Data->SearchBytes(scratch);
  fScanned += static_cast<size_t>(bytes.size());
  const qsizetype n = fPattern->CountIn(bytes);
  occurrences += static_cast<size_t>(n);
  return n > 0 ? 1 : 0;
}

void TRowFinder::Walk(TVexlinNode *top, std::vector<TVexlinNode *> &out) const {
  out.push_back(top);
  for (size_t i = 0; i < top->ChildCount(); ++i)
    Walk(top->Child(i), out);
}

void TRowFinder::SetFilter(bool on) {
  fFilterOn = on;
  // Back to the row the user was at once the list is rebuilt.
  fReturnTo = fCurrent ? fCurrent : fTree.FocusedNode();
  if (fReturnTo && !fTree.IsNodeVisible(fReturnTo))
    fReturnTo = nullptr;
  if (on && fPattern)
    fTree.SetRowFilter([this](const TVexlinNode &node) { return Matches(node); });
  else
    fTree.SetRowFilter(nullptr);
  fFilterAt = 0;
  fFilterTo = fTree.RowCount();
  if (fFilterTo == 0)
    emit filterDone();
  Schedule();
}

void TRowFinder::FindNext(bool forward) {
  const size_t rows = fTree.RowCount();
  if (!fPattern || rows == 0) {
    emit notFound();
    return;
  }
  fFind = TFind();
  fFind.active = true;
  fFind.forward = forward;
  std::vector<TVexlinNode *> walk;
  if (fCurrent && fCurrentTop >= 0 && static_cast<size_t>(fCurrentTop) < rows) {
    Walk(fTree.NodeAt(static_cast<size_t>(fCurrentTop)), walk);
    const auto at = std::find(walk.begin(), walk.end(), fCurrent);
    fFind.top = static_cast<size_t>(fCurrentTop);
    fFind.inside = at == walk.end() ? 0 : static_cast<size_t>(at - walk.begin());
  } else {
    // No current row: the first row looked at is the one at the end the
    // walk starts from.
    fCurrent = nullptr;
    fFind.fresh = true;
    fFind.fromEnd = true;
    fFind.top = forward ? 0 : rows - 1;
    Walk(fTree.NodeAt(fFind.top), walk);
    fFind.inside = forward ? 0 : walk.size() - 1;
  }
  fFind.startTop = fFind.top;
  fFind.startInside = fFind.inside;
  Schedule();
}

bool TRowFinder::Advance(TFind &f, size_t walkSize) const {
  const size_t rows = fTree.RowCount();
  if (f.forward) {
    if (f.inside + 1 < walkSize) {
      ++f.inside;
      return false;
    }
    f.inside = 0;
    if (++f.top < rows)
      return false;
    f.top = 0;
    return true;
  }
  if (f.inside > 0) {
    --f.inside;
    return false;
  }
  const bool wrapped = f.top == 0;
  f.top = wrapped ? rows - 1 : f.top - 1;
  // The last of the row's own walk, known once the walk is made.
  f.inside = kLastInside;
  return wrapped;
}

bool TRowFinder::StepFind() {
  // The walk of the row being looked at, made again only when the row changes.
  std::vector<TVexlinNode *> walk;
  size_t walkTop = SIZE_MAX;
  auto walkOf = [&](size_t top) -> const std::vector<TVexlinNode *> & {
    if (top != walkTop) {
      walk.clear();
      Walk(fTree.NodeAt(top), walk);
      walkTop = top;
    }
    return walk;
  };
  for (size_t n = 0;; ++n) {
    if (TimeToLook(n) && SliceOver())
      return true;
    TFind &f = fFind;
    bool backAtStart = false;
    if (f.fresh) {
      f.fresh = false;
    } else {
      const bool wrapped = Advance(f, walkOf(f.top).size());
      if (wrapped && !fCurrent) {
        // Every row was looked at from the first one on.
        f.active = false;
        emit notFound();
        return false;
      }
      if (f.inside == kLastInside)
        f.inside = walkOf(f.top).size() - 1;
      f.wrapped = f.wrapped || wrapped;
      backAtStart = f.top == f.startTop && f.inside == f.startInside;
    }
    const std::vector<TVexlinNode *> &current = walkOf(f.top);
    TVexlinNode *node = current[std::min(f.inside, current.size() - 1)];
    if (Matches(*node)) {
      f.active = false;
      SetCurrent(node, static_cast<ptrdiff_t>(f.top), f.forward, f.wrapped, f.fromEnd);
      emit found(node, f.wrapped);
      emit countChanged();
      return false;
    }
    if (backAtStart) {
      f.active = false;
      emit notFound();
      return false;
    }
  }
}

void TRowFinder::SetCurrent(TVexlinNode *node, ptrdiff_t top, bool forward, bool wrapped,
                            bool fromEnd) {
  // The place among the matching rows moves by one, unless the walk wrapped
  // or started at an end; unknown places are set by the count.
  if (wrapped || fromEnd)
    fOrdinal = forward ? 1 : (Counted() ? fMatchingRows : 0);
  else if (fOrdinal > 0 && fCurrent)
    fOrdinal = forward ? fOrdinal + 1 : fOrdinal - 1;
  else
    fOrdinal = 0;
  ForgetCurrentMark();
  fCurrent = node;
  fCurrentTop = top;
  fCurrentMark = node->Data;
  TVexlinDataBinary::FindCurrent = fCurrentMark;
  Reveal(node, forward);
}

bool TRowFinder::StepCount() {
  const size_t rows = fTree.RowCount();
  std::vector<TVexlinNode *> walk;
  for (size_t n = 0; fCountedTo < rows; ++n) {
    if (TimeToLook(n) && SliceOver()) {
      emit countChanged();
      return true;
    }
    TVexlinNode *top = fTree.NodeAt(fCountedTo);
    if (top->HasChildren()) {
      walk.clear();
      Walk(top, walk);
    }
    const size_t count = top->HasChildren() ? walk.size() : 1;
    for (size_t i = 0; i < count; ++i) {
      TVexlinNode *node = top->HasChildren() ? walk[i] : top;
      if (CountMatches(*node, fOccurrences) == 0)
        continue;
      ++fMatchingRows;
      if (node == fCurrent)
        fOrdinal = fMatchingRows;
    }
    ++fCountedTo;
  }
  emit countChanged();
  return false;
}

bool TRowFinder::StepFilter() {
  while (fFilterAt < fFilterTo) {
    const size_t to = std::min(fFilterTo, fFilterAt + fFilterChunk);
    const qint64 before = fSlice.elapsed();
    fTree.ApplyRowFilter(fFilterAt, to);
    fFilterAt = to;
    // Long rows make a chunk slow: fewer of them go in the next one.
    const qint64 took = fSlice.elapsed() - before;
    if (took * 2 > kSliceMs)
      fFilterChunk = std::max<size_t>(1, fFilterChunk / 2);
    else if (took * 8 < kSliceMs)
      fFilterChunk = std::min(kFilterChunk, fFilterChunk * 2);
    if (fFilterAt < fFilterTo && SliceOver())
      return true;
  }
  fFilterTo = 0;
  fFilterAt = 0;
  if (fReturnTo && fTree.IsNodeVisible(fReturnTo))
    fTree.ScrollToNode(fReturnTo, true);
  fReturnTo = nullptr;
  emit filterDone();
  return false;
}

bool TRowFinder::TimeToLook(size_t rows) const {
  if (rows % kRowsPerCheck != kRowsPerCheck - 1 && fScanned < kBytesPerCheck)
    return false;
  fScanned = 0;
  return true;
}

bool TRowFinder::SliceOver() const {
  return fSlice.elapsed() >= kSliceMs;
}

void TRowFinder::Schedule() {
  if (!fWork->isActive())
    fWork->start();
}

void TRowFinder::Step() {
  fSlice.start();
  for (;;) {
    if (FilterBusy())
      StepFilter();
    else if (fFind.active)
      StepFind();
    else if (fPattern && fCountedTo < fTree.RowCount())
      StepCount();
    else if (!fLongest.Complete())
      fLongest.Measure(fSlice, kSliceMs);
    else
      return;
    if (SliceOver()) {
      Schedule();
      return;
    }
  }
}

void TRowFinder::Reveal(TVexlinNode *node, bool forward) {
  fTree.SetFocusedNode(node);
  fTree.ScrollToNode(node, true);
  // Of a row taller than the list, centring shows the middle: the found
  // bytes (the first ones, or going back the last) come into view instead.
  const int64_t page = fTree.viewport()->height();
  if (const auto *packet = dynamic_cast<const TVexlinDataBinary *>(node->Data);
      packet && node->Height > page) {
    fTree.ApplyLayout();
    if (const int offset = packet->FoundOffset(!forward); offset >= 0)
      fTree.SetScrollY(fTree.NodeTop(node) + offset - page / 3);
  }
  fTree.viewport()->update();
}
