#include "tools/addresscombo.h"

#include "base/ansicodepage.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

QFont ArialFont(int pointSize) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(pointSize);
  return font;
}

int SingleItemHeight(const QWidget *box) {
  return QFontMetrics(box->font()).height() + 4;
}

} // namespace

void ComboBoxAddressPaintItem(QPainter &painter, const QRect &rect, int itemHeight, int address,
                              bool selected, bool enabled) {
  const QFont label = ArialFont(7);
  const QFont value = ArialFont(9);
  const QFontMetrics lm(label);
  const QFontMetrics vm(value);
  const int y = rect.top() + (itemHeight - vm.height()) / 2;
  const int left = rect.left();
  const auto draw = [&](const QFont &font, const QColor &colour, int x, int top, const QString &t) {
    painter.setFont(font);
    painter.setPen(enabled ? colour : QColor(128, 128, 128));
    painter.drawText(QPoint(x, top + QFontMetrics(font).ascent()), t);
  };
  const bool alnum = (address >= '0' && address <= '9') || (address >= 'A' && address <= 'Z') ||
                     (address >= 'a' && address <= 'z');
  const QColor asciiColour =
      selected ? Qt::white : (alnum ? QColor(0, 0, 128) : QColor(128, 128, 128));
  const QColor decColour = selected ? QColor(0, 255, 255) : QColor(0, 128, 0);
  const QColor hexColour = selected ? QColor(255, 255, 0) : QColor(128, 0, 0);
  const int charX = left + 5 + lm.horizontalAdvance(QStringLiteral("ascii:"));
  if (address > 32) {
    draw(label, asciiColour, left + 3, y + 2, QStringLiteral("ascii:"));
    draw(value, asciiColour, charX, y, TextFromAnsi(QByteArray(1, char(address))));
  }
  const int a = charX + vm.horizontalAdvance(QStringLiteral("W")) + 4;
  draw(label, decColour, a, y + 2, QStringLiteral("dec:"));
  const int decX = a + lm.horizontalAdvance(QStringLiteral("dec:")) + 2;
  draw(value, decColour, decX, y, QString::number(address));
  const int b = decX + vm.horizontalAdvance(QStringLiteral("999")) + 4;
  draw(label, hexColour, b, y + 2, QStringLiteral("hex:"));
  draw(value, hexColour, b + lm.horizontalAdvance(QStringLiteral("hex:")) + 2, y,
       QStringLiteral("%1").arg(address, 2, 16, QChar(u'0')).toUpper());
  if ((address == 254 || address == 255) && rect.height() > itemHeight) {
    const QFont note = ArialFont(8);
    const int top = rect.bottom() - 3 - QFontMetrics(note).height();
    draw(note, enabled ? Qt::black : QColor(128, 128, 128), left + 3, top,
         address == 254 ? QStringLiteral("(universal pelmar address)")
                        : QStringLiteral("(special pelmar address)"));
  }
}

TComboBoxPelmarAddress::TComboBoxPelmarAddress(QWidget *parent) : QComboBox(parent) {
  setEditable(false);
}

int TComboBoxPelmarAddress::Address() const {
  return currentIndex() < 0 ? -1 : fAdrFrom + currentIndex();
}

void TComboBoxPelmarAddress::paintEvent(QPaintEvent *event) {
  if (!fDescriptions) {
    QComboBox::paintEvent(event);
    return;
  }
  // The closed box shows the selected item as the list draws it, one line high.
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  if (currentIndex() < 0)
    return;
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  painter.save();
  painter.setClipRect(field);
  ComboBoxAddressPaintItem(painter, field, field.height(), Address(), false, isEnabled());
  painter.restore();
}

TAddressItemDelegate::TAddressItemDelegate(TComboBoxPelmarAddress *box)
    : QStyledItemDelegate(box), fBox(box) {}

QSize TAddressItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const {
  const int height = SingleItemHeight(fBox);
  const int address = fBox->AdrFrom() + index.row();
  return QSize(160, address >= 254 ? 2 * height : height);
}

void TAddressItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const {
  const bool selected = option.state & QStyle::State_Selected;
  painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
  ComboBoxAddressPaintItem(*painter, option.rect, SingleItemHeight(fBox),
                           fBox->AdrFrom() + index.row(), selected,
                           option.state & QStyle::State_Enabled);
}

void CombbBoxAddressItemsFill(TComboBoxPelmarAddress *Control, uint8_t AdrFrom, uint8_t AdrTo,
                              int AdrSelect, bool SetOnPaint, bool WithDescriptions) {
  Control->clear();
  Control->SetAdrFrom(AdrFrom);
  for (int address = AdrFrom; address <= AdrTo; ++address)
    Control->addItem(QString::number(address));
  if (AdrSelect >= 0)
    Control->setCurrentIndex(AdrSelect);
  Control->SetDescriptions(SetOnPaint);
  if (WithDescriptions || SetOnPaint)
    Control->setItemDelegate(new TAddressItemDelegate(Control));
}
