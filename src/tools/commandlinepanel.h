#pragma once

// The command row under the communication view: the command line, "+<CR>",
// "Odeslat", "Smazat" and "MoveUp". It keeps the prepared bytes up to date
// with every change and hands them out for sending.

#include <QByteArray>
#include <QWidget>

class QCheckBox;
class QPushButton;
class TCmdLineHistoryKeys;
class TMessageSink;
class TPelmarCmdLine;
class TRepeaterGroup;

class TCommandLinePanel : public QWidget {
  Q_OBJECT

public:
  // sink must outlive the panel; it shows conversion errors.
  explicit TCommandLinePanel(TMessageSink &sink, QWidget *parent = nullptr);

  TPelmarCmdLine *CommandLine() const { return edtCommandLine; }
  QCheckBox *CRCheckBox() const { return cbCR; }
  QPushButton *SendButton() const { return bSend; }
  // Their handlers belong to the main window.
  QPushButton *ClearButton() const { return bClear; }
  QPushButton *MoveUpButton() const { return bMoveUp; }

  // The bytes Enter, "Odeslat" and the repeater send: the last text that
  // converted, with 0x0D when "+<CR>" is checked.
  QByteArray SendPacketPrepared() const { return fSendPacketPrepared; }
  // Why the text as it stands does not convert; "" when it does.
  QString CommandError() const { return fCommandError; }

  // The command text exactly as typed and the "+<CR>" state, as stored in
  // the configuration; setting either prepares the bytes again.
  QString Command() const;
  void SetCommand(const QString &text);
  bool AppendCR() const;
  void SetAppendCR(bool on);

  // Up, Down and the history search of the command line; every command
  // sent with Enter or "Odeslat" is recorded there.
  TCmdLineHistoryKeys *HistoryKeys() const { return fHistoryKeys; }

  // Each tick of the repeater sends the prepared bytes.
  void AttachRepeater(TRepeaterGroup *repeater);

  // Enter and "Odeslat": a text that does not convert is reported in a
  // message box and nothing is sent.
  void bSendClick();

signals:
  void sendRequested(const QByteArray &data);

private:
  void edtCommandLineChange();
  // While typing a problem shows in a balloon hint, never a message box.
  void ShowTypingHint();

  TMessageSink &fSink;
  TPelmarCmdLine *edtCommandLine;
  QCheckBox *cbCR;
  QPushButton *bSend;
  QPushButton *bClear;
  QPushButton *bMoveUp;
  TCmdLineHistoryKeys *fHistoryKeys;
  QByteArray fSendPacketPrepared;
  QString fCommandError;
  bool fHintShown = false;
};
