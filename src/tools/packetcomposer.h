#pragma once

// The packet composer: one Pelmar 97 frame built field by field. Every field
// is command text ("*", "{97}", "{23h}", "{$FF}"); the hexadecimal view under
// the table shows the resulting bytes with the field being edited in navy,
// and LEN and SUM can follow the other fields automatically.

#include <QByteArray>
#include <QString>
#include <QWidget>

class QCheckBox;
class QPushButton;
class QTableWidget;
class QTextEdit;
class TMessageSink;

class TfrPaket : public QWidget {
  Q_OBJECT

public:
  enum TRow { rowPRE, rowFRM, rowLEN, rowADR, rowSIG, rowINST, rowSDATA, rowSUM, rowCR, RowCount };

  // sink must outlive the panel; it shows conversion errors.
  explicit TfrPaket(TMessageSink &sink, QWidget *parent = nullptr);

  // Marks the fixed rows, computes the packet and puts the focus on SDATA.
  void Init();

  // The named field converted to bytes. A field that does not convert is
  // reported, cleared and gives no bytes.
  QByteArray GetKey(const QString &KeyName);
  // Every field's bytes in table order.
  QByteArray GetPacket();
  // True when every field is empty or converts to at least one byte; a field
  // that raises is reported but kept.
  bool CheckPacket();
  // The LEN and SUM texts for the other fields; written into their rows when
  // Forced or while the matching check box is checked. CountLEN raises when
  // SDATA is too long for a 16-bit LEN.
  QString CountLEN(bool Forced);
  QString CountSUM(bool Forced);
  void RefreshPacket();
  void HighLightPacketView(int Row);
  // Sends the fields' bytes even when some field does not convert; only a
  // LEN that cannot be produced stops it, so no frame with a wrong LEN leaves.
  void bPktSendClick();
  // Loads a stored preset ("data": hexadecimal digit pairs) into the table.
  void CopyPresetToTable(const QString &data);

  QString Value(int row) const;
  void SetValue(int row, const QString &value);
  bool IsReadOnlyRow(int row) const;
  // The background a row's cells are drawn with now.
  QColor RowColour(int row) const;

  QTableWidget *Table() const { return vle; }
  QTextEdit *PacketView() const { return mePaket; }
  QCheckBox *LENCheckBox() const { return cbLEN; }
  QCheckBox *SUMCheckBox() const { return cbSUM; }
  QPushButton *SendButton() const { return bPktSend; }
  // Its handler is the main window's "store as preset".
  QPushButton *SaveButton() const { return bPktSave; }

  static QColor ReadOnlyColour() { return QColor(220, 220, 255); }
  static QColor MatchColour() { return QColor(204, 255, 204); }
  static QColor MismatchColour() { return QColor(255, 204, 204); }

signals:
  void sendRequested(const QByteArray &data);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  int RowOf(const QString &KeyName) const;
  // The field's bytes; raises on a conversion error.
  QByteArray Convert(int row) const;
  QByteArray ConvertOrReport(int row);
  QString CountText(int row, const QString &text, bool Forced);
  void cbLENClick();
  void cbSUMClick();
  void SetReadOnly(int row, bool readOnly);
  // Recolours every row; fields that do not convert are reported and cleared.
  void vleDrawCells();
  void FieldEdited();
  void EnterPressed();

  TMessageSink &fSink;
  QTableWidget *vle;
  QTextEdit *mePaket;
  QCheckBox *cbLEN;
  QCheckBox *cbSUM;
  QPushButton *bPktSend;
  QPushButton *bPktSave;
  bool fReadOnly[RowCount] = {};
  bool fUpdating = false;
};
