#include "view/rowcopy.h"

#include "base/ansicodepage.h"
#include "pipeline/databinary.h"
#include "pipeline/logfile.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"

#include <QTimer>

bool AppendCopyText(QByteArray &out, const TVexlinDataObject &row, TCopyFormat format,
                    size_t number) {
  if (format == TCopyFormat::Log)
    return AppendLogLine(out, &row);
  const auto *packet = dynamic_cast<const TVexlinDataBinary *>(&row);
  if (!packet || packet->Data.isEmpty())
    return false;
  switch (format) {
  case TCopyFormat::Hex:
    out += packet->Data.toHex(' ').toUpper();
    break;
  case TCopyFormat::Command:
    out += PacketCommandText(packet->Data);
    break;
  case TCopyFormat::CArray: {
    out += "const unsigned char row" + QByteArray::number(number) + "[" +
           QByteArray::number(packet->Data.size()) + "] = {";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < packet->Data.size(); ++i) {
      const auto byte = static_cast<uint8_t>(packet->Data[i]);
      out += i ? ", 0x" : "0x";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0x0F];
    }
    out += "};";
    break;
  }
  case TCopyFormat::Log:
    break;
  }
  out += '\n';
  return true;
}

TRowCopier::TRowCopier(TVexlinTree &tree, QObject *parent)
    : QObject(parent), fTree(tree), fWork(new QTimer(this)) {
  fWork->setSingleShot(true);
  fWork->setInterval(0);
  connect(fWork, &QTimer::timeout, this, &TRowCopier::Step);
  connect(&fTree, &TVexlinTree::rowsRemoved, this, [this] {
    fActive = false;
    fWork->stop();
    fText.clear();
  });
}

bool TRowCopier::Busy() const {
  return fActive;
}

void TRowCopier::Start(TCopyFormat format) {
  fFormat = format;
  fRange = 0;
  fRow = fTree.Selection().Ranges().empty() ? 0 : fTree.Selection().Ranges()[0].first;
  fCopied = 0;
  fText.clear();
  fActive = true;
  Step();
}

void TRowCopier::Step() {
  QElapsedTimer slice;
  slice.start();
  const auto &ranges = fTree.Selection().Ranges();
  for (size_t n = 0; fRange < ranges.size(); ++n) {
    if (n % 1024 == 1023 && slice.elapsed() >= kSliceMs) {
      fWork->start();
      return;
    }
    const auto [first, last] = ranges[fRange];
    if (fRow < first)
      fRow = first;
    if (fRow > last || fRow >= fTree.RowCount()) {
      ++fRange;
      continue;
    }
    // Rows a filter hides stay out, also when they were selected before it.
    if (const TVexlinNode *node = fTree.NodeAt(fRow);
        node && node->Data && fTree.IsRowShown(fRow) &&
        AppendCopyText(fText, *node->Data, fFormat, fCopied + 1))
      ++fCopied;
    ++fRow;
  }
  fActive = false;
  const QString text = TextFromAnsi(fText);
  fText.clear();
  emit done(text, fCopied);
}
