#pragma once

// Bus address boxes: a drop-down list of addresses whose items show the
// address as a character, in decimal and in hexadecimal; the two special
// addresses 254 and 255 get a second line explaining them in the open list.

#include <QComboBox>
#include <QStyledItemDelegate>
#include <cstdint>

class QPainter;

// Draws one address item into rect; the second line of 254 and 255 only when
// rect is taller than itemHeight.
void ComboBoxAddressPaintItem(QPainter &painter, const QRect &rect, int itemHeight, int address,
                              bool selected, bool enabled);

class TComboBoxPelmarAddress : public QComboBox {
  Q_OBJECT
public:
  explicit TComboBoxPelmarAddress(QWidget *parent = nullptr);
  // The address of the selected item, or -1.
  int Address() const;
  int AdrFrom() const { return fAdrFrom; }
  void SetAdrFrom(int from) { fAdrFrom = from; }
  bool Descriptions() const { return fDescriptions; }
  void SetDescriptions(bool on) { fDescriptions = on; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  int fAdrFrom = 0;
  bool fDescriptions = false;
};

// Replaces the items by the addresses AdrFrom..AdrTo (none when AdrTo is
// below AdrFrom) and selects position AdrSelect when it is 0 or more.
void CombbBoxAddressItemsFill(TComboBoxPelmarAddress *Control, uint8_t AdrFrom, uint8_t AdrTo,
                              int AdrSelect, bool SetOnPaint, bool WithDescriptions);

// The list items of an address box: 254 and 255 twice as tall.
class TAddressItemDelegate : public QStyledItemDelegate {
public:
  TAddressItemDelegate(TComboBoxPelmarAddress *box);
  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override;

private:
  TComboBoxPelmarAddress *fBox;
};
