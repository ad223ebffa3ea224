#pragma once

#include "pipeline/bytefinder.h"
#include "view/longestrow.h"

#include <QElapsedTimer>
#include <QObject>
#include <optional>
#include <vector>

class QTimer;
class TVexlinDataObject;
class TVexlinTree;
struct TVexlinNode;

// Finds rows of a list that hold a byte pattern: the next or previous one,
// how many there are, and a filter that shows only them. Every walk through
// the rows runs in short slices on the UI thread, so a list of millions of
// rows stays usable meanwhile; rows that arrive later are counted and
// filtered as they come.
class TRowFinder : public QObject {
  Q_OBJECT
public:
  // Longest run of work before the event loop gets its turn.
  static constexpr int kSliceMs = 8;

  explicit TRowFinder(TVexlinTree &tree, QObject *parent = nullptr);
  ~TRowFinder() override;

  // A new pattern (none stops everything); the marks in the rows, the count
  // and the filter follow it.
  void SetPattern(std::optional<TByteFinder> pattern);
  const TByteFinder *Pattern() const { return fPattern ? &*fPattern : nullptr; }

  // Looks for the next (or previous) row holding the pattern after the
  // current row, wrapping at the ends; reports `found` or `notFound`.
  void FindNext(bool forward);
  bool Finding() const { return fFind.active; }
  TVexlinNode *Current() const { return fCurrent; }

  // Rows holding the pattern and its occurrences, as far as counted.
  size_t MatchingRows() const { return fMatchingRows; }
  size_t Occurrences() const { return fOccurrences; }
  bool Counted() const;
  // The current row's place among the matching rows (from 1), 0 when unknown.
  size_t CurrentOrdinal() const { return fOrdinal; }

  // Shows only the rows holding the pattern (a parent stays with a matching
  // child); off shows every row again and returns to the same row.
  void SetFilter(bool on);
  bool Filtering() const { return fFilterOn; }
  bool FilterBusy() const { return fFilterTo > 0 && fFilterAt < fFilterTo; }

  // The length of the longest row, when it can be known within a slice;
  // later calls go on measuring where the last one stopped.
  std::optional<qsizetype> LongestRow();

  // Whether a row holds the pattern.
  bool Matches(const TVexlinNode &node) const;

signals:
  void found(TVexlinNode *node, bool wrapped);
  void notFound();
  void countChanged();
  void filterDone();

private:
  struct TFind {
    bool active = false;
    bool forward = true;
    bool wrapped = false;
    size_t top = 0;       // the top-level row being looked at
    size_t inside = 0;    // its place in the row's own walk (0: the row itself)
    bool fresh = false;   // the position itself is looked at first
    bool fromEnd = false; // started at an end, not at a current row
    size_t startTop = 0;
    size_t startInside = 0;
  };

  void Step();
  void Schedule();
  bool SliceOver() const;
  // Whether the clock is worth a look after `rows` rows of this slice.
  bool TimeToLook(size_t rows) const;
  bool StepFilter();
  bool StepFind();
  bool StepCount();
  void Reset();
  // Focuses the row and scrolls its found bytes into view.
  void Reveal(TVexlinNode *node, bool forward);
  // The current row's marks go back to the colour of the others.
  void ForgetCurrentMark();
  // One step of the walk; true when it wrapped past an end.
  bool Advance(TFind &f, size_t walkSize) const;
  void SetCurrent(TVexlinNode *node, ptrdiff_t top, bool forward, bool wrapped, bool fromEnd);
  // The row and its descendants, in the order they are shown.
  void Walk(TVexlinNode *top, std::vector<TVexlinNode *> &out) const;
  size_t CountMatches(const TVexlinNode &node, size_t &occurrences) const;

  TVexlinTree &fTree;
  TLongestRow fLongest;
  std::optional<TByteFinder> fPattern;
  QTimer *fWork;
  QTimer *fNewRows; // counts and filters what arrived since
  QElapsedTimer fSlice;
  TVexlinNode *fCurrent = nullptr;
  const TVexlinDataObject *fCurrentMark = nullptr; // the object marked as current
  TFind fFind;
  size_t fCountedTo = 0; // top-level rows counted
  size_t fMatchingRows = 0;
  size_t fOccurrences = 0;
  size_t fOrdinal = 0;
  ptrdiff_t fCurrentTop = -1;
  bool fFilterOn = false;
  size_t fFilterAt = 0;
  size_t fFilterTo = 0;
  size_t fFilterChunk = 8192;       // rows filtered at a time, fewer when rows are long
  mutable size_t fScanned = 0;      // bytes looked through since the clock was looked at
  TVexlinNode *fReturnTo = nullptr; // the row to come back to when the filter is done
};
