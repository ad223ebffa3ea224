#include "widgets/asciitable.h"

#include "base/utils.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

struct TAsciiEntry {
  const char *Name;
  const char *Description;
};

// Values 0 to 32; 127 follows separately.
constexpr TAsciiEntry kControls[] = {
    {"NUL", "null"},
    {"SOH", "start of heading"},
    {"STX", "start of text"},
    {"ETX", "end of text"},
    {"EOT", "end of transmission"},
    {"ENQ", "enquiry"},
    {"ACK", "acknowledge"},
    {"BEL", "bell"},
    {"BS", "backspace"},
    {"TAB", "horizontal tab"},
    {"LF", "NL line feed, new line"},
    {"VT", "vertical tab"},
    {"FF", "NP form feed, new page"},
    {"CR", "carriage return"},
    {"S0", "shift out"},
    {"SI", "shift in"},
    {"DLE", "data link escape"},
    {"DC1", "device control 1"},
    {"DC2", "device control 2"},
    {"DC3", "device control 3"},
    {"DC4", "device control 4"},
    {"NAK", "negative acknowledge"},
    {"SYN", "synchronous idle"},
    {"ETB", "end of trans. block"},
    {"CAN", "cancel"},
    {"EM", "end of medium"},
    {"SUB", "substitute"},
    {"ESC", "escape"},
    {"FS", "file separator"},
    {"GS", "group separator"},
    {"RS", "record separator"},
    {"US", "unit separator"},
    {"SP", "Space"},
};

struct TPunctuation {
  int Value;
  const char *Description;
};

constexpr TPunctuation kPunctuation[] = {
    {33, "exclamation mark"},
    {34, "double quote"},
    {35, "number sign"},
    {36, "dollar sign"},
    {37, "percent"},
    {38, "ampersand"},
    {39, "single quote"},
    {40, "left/opening parenthesis"},
    {41, "right/closing parenthesis"},
    {42, "asterisk"},
    {43, "plus"},
    {44, "comma"},
    {45, "minus or dash"},
    {46, "dot"},
    {47, "forward slash"},
    {58, "colon"},
    {59, "semi-colon"},
    {60, "less than"},
    {61, "equal sign"},
    {62, "greater than"},
    {63, "question mark"},
    {64, "AT symbol"},
    {91, "left/opening bracket"},
    {92, "back slash"},
    {93, "right/closing bracket"},
    {94, "caret/cirumflex"},
    {95, "underscore"},
    {123, "left/opening brace"},
    {124, "vertical bar"},
    {125, "right/closing brace"},
    {126, "tilde"},
};

constexpr int kDel = 127;

struct TColumnLook {
  const char *Header;
  int Width; // the least width; wider when the texts need it
  QColor Text;
  QColor Background;
};

const TColumnLook kColumns[TfAsciiTable::colCount] = {
    {"Char", 40, QColor(0, 0, 0), QColor(255, 255, 176)},
    {"Dec", 40, QColor(0, 0, 128), QColor(224, 255, 255)},
    {"Hex", 40, QColor(0, 0, 255), QColor(255, 255, 240)},
    {"Binary", 90, QColor(0, 128, 0), QColor(240, 255, 240)},
    {"Zkratka", 40, QColor(128, 0, 0), QColor(255, 255, 240)},
    {"Popis", 133, QColor(0, 0, 0), QColor(255, 255, 255)},
};

QString CellText(int value, int column) {
  switch (column) {
  case TfAsciiTable::colChar:
    return QString(QChar(char16_t(value)));
  case TfAsciiTable::colDec:
    return QString::number(value);
  case TfAsciiTable::colHex:
    return QStringLiteral("$%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
  case TfAsciiTable::colBinary:
    return IntToBin(uint8_t(value));
  case TfAsciiTable::colName:
    return ASCIIName(value);
  default:
    return ASCIIDescriptions(value);
  }
}

} // namespace

QString ASCIIName(int value) {
  if (value >= 0 && value < int(std::size(kControls)))
    return QLatin1String(kControls[value].Name);
  return value == kDel ? QStringLiteral("DEL") : QString();
}

QString ASCIIDescriptions(int value) {
  if (value >= 0 && value < int(std::size(kControls)))
    return QLatin1String(kControls[value].Description);
  if (value == kDel)
    return QStringLiteral("delete");
  for (const TPunctuation &entry : kPunctuation)
    if (entry.Value == value)
      return QLatin1String(entry.Description);
  return QString();
}

TfAsciiTable::TfAsciiTable(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fAsciiTable"));
  // Left open, it must not keep the program running once the main window
  // is closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle(QStringLiteral("ASCII tabulka"));
  resize(416, 514);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  vstAsciiTable = new QTableWidget(256, colCount, this);
  vstAsciiTable->setObjectName(QStringLiteral("vstAsciiTable"));
  vstAsciiTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  vstAsciiTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  vstAsciiTable->setShowGrid(true);
  vstAsciiTable->verticalHeader()->hide();
  vstAsciiTable->verticalHeader()->setDefaultSectionSize(15);
  vstAsciiTable->verticalHeader()->setMinimumSectionSize(15);
  QFont mono(QStringLiteral("Courier"), 8);
  mono.setStyleHint(QFont::TypeWriter);
  vstAsciiTable->setFont(mono);
  QFont bold = mono;
  bold.setBold(true);
  QFont description(QStringLiteral("Arial"), 8);
  description.setStyleHint(QFont::SansSerif);

  QHeaderView *header = vstAsciiTable->horizontalHeader();
  for (int c = 0; c < colCount; ++c)
    vstAsciiTable->setHorizontalHeaderItem(c, new QTableWidgetItem(kColumns[c].Header));
  header->setStretchLastSection(true);

  for (int value = 0; value < 256; ++value) {
    for (int c = 0; c < colCount; ++c) {
      auto *item = new QTableWidgetItem(CellText(value, c));
      item->setForeground(kColumns[c].Text);
      item->setBackground(kColumns[c].Background);
      if (c == colChar)
        item->setFont(bold);
      else if (c == colDescription)
        item->setFont(description);
      if (c != colDescription)
        item->setTextAlignment(Qt::AlignCenter);
      vstAsciiTable->setItem(value, c, item);
    }
  }
  layout->addWidget(vstAsciiTable);
  FitColumns();
  // A language puts other words into the headers.
  connect(vstAsciiTable->model(), &QAbstractItemModel::headerDataChanged, this,
          &TfAsciiTable::FitColumns);
}

void TfAsciiTable::showEvent(QShowEvent *event) {
  FitColumns();
  QWidget::showEvent(event);
}

void TfAsciiTable::FitColumns() {
  QHeaderView *header = vstAsciiTable->horizontalHeader();
  QStyleOptionViewItem option;
  option.initFrom(vstAsciiTable->viewport());
  option.font = vstAsciiTable->font();
  option.fontMetrics = QFontMetrics(option.font);
  const QAbstractItemDelegate *delegate = vstAsciiTable->itemDelegate();
  const int grid = vstAsciiTable->showGrid() ? 1 : 0;
  // Every row counts, not only those in sight: 256 rows are quickly measured.
  int total = 0;
  for (int c = 0; c < colCount; ++c) {
    int width = std::max(kColumns[c].Width, header->sectionSizeHint(c));
    for (int row = 0; row < vstAsciiTable->rowCount(); ++row)
      width = std::max(
          width, delegate->sizeHint(option, vstAsciiTable->model()->index(row, c)).width() + grid);
    header->resizeSection(c, width);
    total += width;
  }
  const int frame = 2 * vstAsciiTable->frameWidth();
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vstAsciiTable);
  const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
  const int need = total + frame + bar + margins;
  if (width() < need)
    resize(need, height());
}
