#include "tools/packetcomposer.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

struct TField {
  const char *key;
  const char *initial;
};

constexpr TField kFields[TfrPaket::RowCount] = {
    {"PRE", "*"},   {"FRM", "{97}"},   {"LEN", "{0,5}"},           {"ADR", "{1}"},
    {"SIG", "{2}"}, {"INST", "{23h}"}, {"SDATA", "{14h,81h,07h}"}, {"SUM", "{104}"},
    {"CR", "{13}"}};

// Enter in the in-place editor commits the edit at once and then sends, so
// the packet sent is the one just typed. The key goes no further: the table
// would otherwise take it as its own Enter and send once more.
class TEnterDelegate : public QStyledItemDelegate {
public:
  TEnterDelegate(std::function<void()> onEnter, QObject *parent)
      : QStyledItemDelegate(parent), fOnEnter(std::move(onEnter)) {}

protected:
  bool eventFilter(QObject *object, QEvent *event) override {
    auto *editor = qobject_cast<QWidget *>(object);
    if (!editor || event->type() != QEvent::KeyPress)
      return QStyledItemDelegate::eventFilter(object, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
      return QStyledItemDelegate::eventFilter(object, event);
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    fOnEnter();
    return true;
  }

private:
  std::function<void()> fOnEnter;
};

QString HexPair(uint8_t value) {
  return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper();
}

} // namespace

TfrPaket::TfrPaket(TMessageSink &sink, QWidget *parent)
    : QWidget(parent), fSink(sink), vle(new QTableWidget(RowCount, 2)), mePaket(new QTextEdit),
      cbLEN(new QCheckBox(QStringLiteral("LEN automaticky"))),
      cbSUM(new QCheckBox(QStringLiteral("SUM automaticky"))),
      bPktSend(new QPushButton(QStringLiteral("Poslat  >>"))),
      bPktSave(new QPushButton(QStringLiteral("Uložit"))) {
  vle->setObjectName(QStringLiteral("vle"));
  mePaket->setObjectName(QStringLiteral("mePaket"));
  cbLEN->setObjectName(QStringLiteral("cbLEN"));
  cbSUM->setObjectName(QStringLiteral("cbSUM"));
  bPktSend->setObjectName(QStringLiteral("bPktSend"));
  bPktSave->setObjectName(QStringLiteral("bPktSave"));

  vle->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
  vle->verticalHeader()->hide();
  vle->horizontalHeader()->setStretchLastSection(true);
  vle->setSelectionMode(QAbstractItemView::SingleSelection);
  vle->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed);
  vle->setItemDelegate(new TEnterDelegate([this] { EnterPressed(); }, vle));
  for (int row = 0; row < RowCount; ++row) {
    auto *key = new QTableWidgetItem(QString::fromLatin1(kFields[row].key));
    // Keys are labels: a click or Tab never stops on them.
    key->setFlags(Qt::NoItemFlags);
    vle->setItem(row, 0, key);
    vle->setItem(row, 1, new QTableWidgetItem(QString::fromLatin1(kFields[row].initial)));
  }
  vle->installEventFilter(this);

  mePaket->setReadOnly(true);
  mePaket->setContextMenuPolicy(Qt::NoContextMenu);
  mePaket->viewport()->installEventFilter(this);

  auto *splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(vle);
  splitter->addWidget(mePaket);
  splitter->setStretchFactor(0, 1);
  auto *checks = new QHBoxLayout;
  checks->addWidget(cbLEN);
  checks->addWidget(cbSUM);
  checks->addStretch(1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(bPktSave);
  buttons->addStretch(1);
  buttons->addWidget(bPktSend);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(splitter, 1);
  layout->addLayout(checks);
  layout->addLayout(buttons);

  cbLEN->setChecked(true);
  cbSUM->setChecked(true);
  connect(cbLEN, &QCheckBox::clicked, this, &TfrPaket::cbLENClick);
  connect(cbSUM, &QCheckBox::clicked, this, &TfrPaket::cbSUMClick);
  connect(bPktSend, &QPushButton::clicked, this, &TfrPaket::bPktSendClick);
  connect(vle, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
    if (!fUpdating && item->column() == 1)
      FieldEdited();
  });
  connect(vle, &QTableWidget::currentCellChanged, this, [this] {
    if (!fUpdating)
      RefreshPacket();
  });
  SetReadOnly(rowLEN, true);
  SetReadOnly(rowSUM, true);
}

void TfrPaket::Init() {
  SetReadOnly(rowPRE, true);
  SetReadOnly(rowFRM, true);
  SetReadOnly(rowCR, true);
  vleDrawCells();
  RefreshPacket();
  vle->setCurrentCell(rowSDATA, 1);
}

QString TfrPaket::Value(int row) const {
  return vle->item(row, 1)->text();
}

void TfrPaket::SetValue(int row, const QString &value) {
  if (Value(row) == value)
    return;
  const bool was = fUpdating;
  fUpdating = true;
  vle->item(row, 1)->setText(value);
  fUpdating = was;
}

bool TfrPaket::IsReadOnlyRow(int row) const {
  return fReadOnly[row];
}

QColor TfrPaket::RowColour(int row) const {
  return vle->item(row, 0)->background().color();
}

int TfrPaket::RowOf(const QString &KeyName) const {
  for (int row = 0; row < RowCount; ++row)
    if (KeyName == QLatin1String(kFields[row].key))
      return row;
  return -1;
}

QByteArray TfrPaket::Convert(int row) const {
  return ConvertToBinnaryEx(AnsiFromText(Value(row)), true);
}

QByteArray TfrPaket::ConvertOrReport(int row) {
  try {
    return Convert(row);
  } catch (const std::exception &error) {
    fSink.ShowError(vle, QString(), ExceptionText(error));
    SetValue(row, QString());
    return {};
  }
}

QByteArray TfrPaket::GetKey(const QString &KeyName) {
  const int row = RowOf(KeyName);
  return row < 0 ? QByteArray() : ConvertOrReport(row);
}

QByteArray TfrPaket::GetPacket() {
  QByteArray packet;
  for (int row = 0; row < RowCount; ++row)
    packet += ConvertOrReport(row);
  return packet;
}

bool TfrPaket::CheckPacket() {
  bool ok = true;
  for (int row = 0; row < RowCount; ++row) {
    try {
      if (!Value(row).isEmpty() && Convert(row).isEmpty())
        ok = false;
    } catch (const std::exception &error) {
      fSink.ShowError(vle, QString(), ExceptionText(error));
      ok = false;
    }
  }
  return ok;
}

QString TfrPaket::CountText(int row, const QString &text, bool Forced) {
  const bool automatic = row == rowLEN ? cbLEN->isChecked() : cbSUM->isChecked();
  if (Forced || automatic)
    SetValue(row, text);
  return text;
}

QString TfrPaket::CountLEN(bool Forced) {
  const qsizetype length = GetKey(QStringLiteral("SDATA")).size() + 5;
  // A longer frame cannot be described; writing a truncated LEN would send a
  // frame that lies about its own length.
  if (length > 0xFFFF)
    throw EPtError(LanguageText(QStringLiteral("ComposerTooLong"),
                                QStringLiteral("SDATA má %1 bajtů, LEN popíše nejvýše 65530."))
                       .arg(length - 5));
  return CountText(
      rowLEN,
      QStringLiteral("{%1h,%2h}").arg(HexPair(uint8_t(length >> 8)), HexPair(uint8_t(length))),
      Forced);
}

QString TfrPaket::CountSUM(bool Forced) {
  uint8_t sum = 0;
  for (int row = rowPRE; row <= rowSDATA; ++row)
    for (const char byte : ConvertOrReport(row))
      sum = uint8_t(sum + uint8_t(byte));
  const uint8_t check = uint8_t(255 - sum);
  // Space-padded to two characters, as "{%2xh}" writes it.
  const QString digits = QString::number(check, 16).toUpper().rightJustified(2, u' ');
  return CountText(rowSUM, QStringLiteral("{%1h}").arg(digits), Forced);
}

void TfrPaket::RefreshPacket() {
  if (!CheckPacket())
    return;
  try {
    CountLEN(false);
    CountSUM(false);
    const QByteArray packet = GetPacket();
    QString text;
    text.reserve(packet.size() * 3);
    for (const char byte : packet)
      text += HexPair(uint8_t(byte)) + u' ';
    const bool was = fUpdating;
    fUpdating = true;
    mePaket->setPlainText(text);
    fUpdating = was;
    HighLightPacketView(vle->currentRow());
  } catch (const std::exception &) {
    // The view keeps its last good state; the table's colours show the problem.
  }
}

void TfrPaket::HighLightPacketView(int Row) {
  qsizetype offset = 0;
  qsizetype count = 0;
  for (int row = 0; row < RowCount && row <= Row; ++row) {
    qsizetype size = 0;
    try {
      size = Convert(row).size();
    } catch (const std::exception &) {
    }
    if (row < Row)
      offset += size;
    else
      count = size;
  }
  QTextCharFormat grey;
  grey.setFontWeight(QFont::Bold);
  grey.setForeground(QColor(128, 128, 128));
  QTextCursor cursor(mePaket->document());
  cursor.select(QTextCursor::Document);
  cursor.setCharFormat(grey);
  if (Row < 0 || count == 0)
    return;
  QTextCharFormat navy = grey;
  navy.setForeground(QColor(0, 0, 128));
  const int length = mePaket->document()->characterCount() - 1;
  cursor.setPosition(int(std::min<qsizetype>(offset * 3, length)));
  cursor.setPosition(int(std::min<qsizetype>((offset + count) * 3, length)),
                     QTextCursor::KeepAnchor);
  cursor.setCharFormat(navy);
}

void TfrPaket::bPktSendClick() {
  RefreshPacket();
  if (cbLEN->isChecked()) {
    try {
      CountLEN(false);
    } catch (const std::exception &error) {
      fSink.ShowError(vle, QString(), ExceptionText(error));
      return;
    }
  }
  emit sendRequested(GetPacket());
}

void TfrPaket::CopyPresetToTable(const QString &data) {
  const qsizetype length = data.size();
  // Positions count from 1, as the stored string is read.
  const auto pair = [&data](qsizetype position) { return data.mid(position - 1, 2); };
  const auto group = [&pair](qsizetype position) {
    return QStringLiteral("{$") + pair(position) + u'}';
  };
  for (int row = 0; row < RowCount; ++row)
    SetValue(row, QString());
  if (length > 1) {
    bool ok = false;
    const int code = pair(1).toInt(&ok, 16);
    if (ok)
      SetValue(rowPRE, TextFromAnsi(QByteArray(1, char(code))));
  }
  if (length > 3)
    SetValue(rowFRM, group(3));
  if (length > 7)
    SetValue(rowLEN, QStringLiteral("{$") + pair(5) + QStringLiteral(",$") + pair(7) + u'}');
  if (length > 9)
    SetValue(rowADR, group(9));
  if (length > 11)
    SetValue(rowSIG, group(11));
  if (length > 13)
    SetValue(rowINST, group(13));
  qsizetype position = 15;
  QString sdata;
  while (position < length - 3) {
    sdata += (sdata.isEmpty() ? QStringLiteral("{$") : QStringLiteral(",$")) + pair(position);
    position += 2;
  }
  if (!sdata.isEmpty())
    SetValue(rowSDATA, sdata + u'}');
  if (position < length)
    SetValue(rowSUM, group(position));
  if (position + 2 < length)
    SetValue(rowCR, group(position + 2));
  vleDrawCells();
  RefreshPacket();
}

void TfrPaket::SetReadOnly(int row, bool readOnly) {
  fReadOnly[row] = readOnly;
  // A read-only row can be neither edited nor selected, nor does it take the
  // focus by a click or Tab: the table skips cells it cannot enable. Its
  // text stays black, as the foreground is set for every cell.
  vle->item(row, 1)->setFlags(
      readOnly ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
  if (!fUpdating)
    vleDrawCells();
}

void TfrPaket::cbLENClick() {
  try {
    CountLEN(false);
  } catch (const std::exception &) {
  }
  if (cbLEN->isChecked() && vle->currentRow() == rowLEN)
    vle->setCurrentCell(rowADR, 1);
  SetReadOnly(rowLEN, cbLEN->isChecked());
}

void TfrPaket::cbSUMClick() {
  CountSUM(false);
  if (cbSUM->isChecked() && vle->currentRow() == rowSUM)
    vle->setCurrentCell(rowSDATA, 1);
  SetReadOnly(rowSUM, cbSUM->isChecked());
}

void TfrPaket::vleDrawCells() {
  const bool was = fUpdating;
  fUpdating = true;
  // The automatic values are written first, so that LEN and SUM are judged
  // by what they now hold, not by what they held before this edit.
  const auto expected = [this](int row) {
    try {
      const QString computed = row == rowLEN ? CountLEN(false) : CountSUM(false);
      return ConvertToBinnaryEx(AnsiFromText(computed), true);
    } catch (const std::exception &) {
      return QByteArray();
    }
  };
  const QByteArray expectedLEN = expected(rowLEN);
  const QByteArray expectedSUM = expected(rowSUM);
  for (int row = 0; row < RowCount; ++row) {
    QColor colour = Qt::white;
    const QByteArray bytes = ConvertOrReport(row);
    if (fReadOnly[row])
      colour = ReadOnlyColour();
    if (!Value(row).isEmpty() && bytes.isEmpty()) {
      colour = MismatchColour();
    } else if (row == rowLEN || row == rowSUM) {
      const QByteArray &computed = row == rowLEN ? expectedLEN : expectedSUM;
      colour = bytes == computed && !computed.isEmpty() ? MatchColour() : MismatchColour();
    }
    for (int column = 0; column < 2; ++column) {
      vle->item(row, column)->setBackground(colour);
      vle->item(row, column)->setForeground(Qt::black);
    }
  }
  fUpdating = was;
}

void TfrPaket::FieldEdited() {
  vleDrawCells();
  RefreshPacket();
}

void TfrPaket::EnterPressed() {
  RefreshPacket();
  bPktSendClick();
}

bool TfrPaket::eventFilter(QObject *watched, QEvent *event) {
  if (watched == vle && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    // While a cell is edited its editor has the keys, so this is the table's own Enter.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EnterPressed();
      return true;
    }
  }
  if (watched == mePaket->viewport() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
    QApplication::clipboard()->setText(mePaket->toPlainText());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
