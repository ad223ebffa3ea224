#pragma once

#include <QWidget>

class QTableWidget;

// The control-code abbreviation of `value` ("NUL", "SOH", ...); empty for
// printable characters and for values above 127.
QString ASCIIName(int value);
// The English description of `value`; empty for digits, letters, the
// grave accent and values above 127.
QString ASCIIDescriptions(int value);

// A tool window listing the 256 byte values with their character, decimal,
// hexadecimal and binary forms and, up to 127, their names.
class TfAsciiTable : public QWidget {
  Q_OBJECT
public:
  enum { colChar, colDec, colHex, colBinary, colName, colDescription, colCount };

  explicit TfAsciiTable(QWidget *parent = nullptr);
  QTableWidget *Table() const { return vstAsciiTable; }

protected:
  void showEvent(QShowEvent *event) override;

private:
  // Sizes every column to its widest cell or header and widens the window
  // to show them all side by side.
  void FitColumns();

  QTableWidget *vstAsciiTable = nullptr;
};
