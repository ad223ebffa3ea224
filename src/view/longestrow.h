#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <utility>
#include <vector>

class TVexlinTree;
struct TVexlinNode;

// The length of the longest row of a list, in the bytes a pattern is looked
// for in. Measuring goes on from where it stopped, so each row is measured
// once however often it is asked; rows that gain children later (a search
// answer under its announcement) are measured again.
class TLongestRow {
public:
  explicit TLongestRow(const TVexlinTree &tree) : fTree(tree) {}

  // Measures what is not measured yet until `slice` has run `budgetMs`;
  // true when every row is measured.
  bool Measure(const QElapsedTimer &slice, qint64 budgetMs);
  bool Complete() const;
  qsizetype Longest() const { return fLongest; }
  // Rows were removed: everything is measured anew.
  void Reset();

private:
  // The row and its descendants; returns how many nodes that was.
  size_t MeasureRow(TVexlinNode *node);

  const TVexlinTree &fTree;
  size_t fMeasuredTo = 0; // top-level rows measured
  qsizetype fLongest = 0;
  // Measured top-level rows with children, and how many nodes they had.
  std::vector<std::pair<size_t, size_t>> fParents;
};
