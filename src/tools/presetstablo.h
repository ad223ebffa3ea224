#pragma once

// The command table: a numbered list of command lines, each with its own
// send button, kept in "pt.tablo.xml" in the data folder. The file is read
// when the window is first opened and written when the program ends.

#include "base/datafolder.h"
#include "base/xmldoc.h"

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class TMessageSink;
class TPelmarCmdLine;

using TDataSendHandler = std::function<void(const QByteArray &)>;

class TfrmPresetTabloItem : public QWidget {
  Q_OBJECT
public:
  TfrmPresetTabloItem(TMessageSink &sink, QWidget *parent = nullptr);

  TPelmarCmdLine *edtCommandLine;
  QLabel *lblIndex;
  QPushButton *btnSend;
  QPushButton *btnRemove;
  QByteArray SendPacketPrepared;
  TDataSendHandler fonDataSend;
  TXmlElement Fnode;

  // Keeps the element and shows its "data" attribute.
  void Setnode(const TXmlElement &Value);
  // "n." after the row's position among its window's rows.
  void RefreshIndex(int position);
  void btnSendClick();

signals:
  void removeRequested(TfrmPresetTabloItem *row);

private:
  void edtCommandLineChange();
  TMessageSink &fSink;
};

class TfPresetsTablo : public QWidget {
  Q_OBJECT
public:
  // folder: the data folder, ending in '/'. Loads the table at once.
  TfPresetsTablo(const QString &folder, TMessageSink &sink, QWidget *parent = nullptr);
  // Reads the user's table, else a shipped one; writes the user's.
  TfPresetsTablo(const TDataFolders &folders, TMessageSink &sink, QWidget *parent = nullptr);
  // Writes the table (see SaveTablo) and says where it went when that was
  // not its own file.
  ~TfPresetsTablo() override;

  void SetOnDataSend(const TDataSendHandler &Handler);
  // Writes the table to its file. A file that could not be read at start is
  // the user's and stays as it is: the table then goes to a new file beside
  // it (SavedAs), and only when this run changed it. False, with error, when
  // the file could not be written.
  bool SaveTablo(QString *error = nullptr);
  // The file the table went to instead of its own; empty when none.
  QString SavedAs() const { return fSavedAs; }
  void btnAddClick();
  QString FileName() const { return fFileName; }
  const QList<TfrmPresetTabloItem *> &Rows() const { return fRows; }
  QPushButton *AddButton() const { return btnAdd; }

private:
  void LoadTablo();
  void AddTabloItem(const TXmlElement &Node);
  void btnRemoveClick(TfrmPresetTabloItem *row);

  TMessageSink &fSink;
  QString fFileName;
  QString fReadFrom; // the user's file, or the shipped one while the user has none
  TXmlDocument xmlTablo1;
  bool fKeepFile = false;     // the file on disk could not be read: never overwrite it
  QByteArray fUnchangedBytes; // the table as this run began, when fKeepFile
  QString fSavedAs;
  QScrollArea *scrlbx1;
  QVBoxLayout *fRowsLayout;
  QPushButton *btnAdd;
  QList<TfrmPresetTabloItem *> fRows;
  TDataSendHandler fonDataSend;
};
