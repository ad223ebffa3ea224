#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

// The packet detail text window: the whole packet in several notations as
// plain text, one window per row of the packet list, destroyed when closed.
class TForm2 : public QWidget {
  Q_OBJECT

public:
  explicit TForm2(QWidget *parent = nullptr);

  // Shows `text`, whose lines may be separated by single carriage returns.
  void SetText(const QString &text);
  QPlainTextEdit *Editor() const { return redt1; }

private:
  QPlainTextEdit *redt1;
};

// The object name of the detail window of a row: "pf_" + row.
QString PacketDetailName(int row);

// "Line %d." with the row number in place of the first %d; any other text
// is taken as it is, so a language file cannot inject a format.
QString PacketDetailCaption(const QString &captionFormat, int row);

// Brings the detail window of `row` to the front when one is open; otherwise
// opens one for `text`, centred on `mainWindow`, unless the text is empty.
// Returns the window, or none when nothing was shown.
TForm2 *ShowPacketDetail(QWidget *mainWindow, int row, const QString &text,
                         const QString &captionFormat = QStringLiteral("Line %d."));
