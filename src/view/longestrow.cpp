#include "view/longestrow.h"

#include "pipeline/dataobject.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"

namespace {

// Rows between two looks at the clock.
constexpr size_t kRowsPerCheck = 256;

size_t NodeCount(const TVexlinNode *node) {
  size_t n = 1;
  for (size_t i = 0; i < node->ChildCount(); ++i)
    n += NodeCount(node->Child(i));
  return n;
}

} // namespace

size_t TLongestRow::MeasureRow(TVexlinNode *node) {
  if (node->Data) {
    QByteArray scratch;
    fLongest = qMax(fLongest, node->Data->SearchBytes(scratch).size());
  }
  size_t n = 1;
  for (size_t i = 0; i < node->ChildCount(); ++i)
    n += MeasureRow(node->Child(i));
  return n;
}

bool TLongestRow::Measure(const QElapsedTimer &slice, qint64 budgetMs) {
  for (auto &[top, nodes] : fParents)
    if (top < fTree.RowCount() && NodeCount(fTree.NodeAt(top)) != nodes)
      nodes = MeasureRow(fTree.NodeAt(top));
  const size_t rows = fTree.RowCount();
  for (size_t n = 0; fMeasuredTo < rows; ++n) {
    if (n % kRowsPerCheck == kRowsPerCheck - 1 && slice.elapsed() >= budgetMs)
      return false;
    TVexlinNode *top = fTree.NodeAt(fMeasuredTo);
    if (const size_t nodes = MeasureRow(top); top->HasChildren())
      fParents.emplace_back(fMeasuredTo, nodes);
    ++fMeasuredTo;
  }
  return true;
}

bool TLongestRow::Complete() const {
  return fMeasuredTo >= fTree.RowCount();
}

void TLongestRow::Reset() {
  fMeasuredTo = 0;
  fLongest = 0;
  fParents.clear();
}
