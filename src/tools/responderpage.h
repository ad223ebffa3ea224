#pragma once

// "Odpovídač": the rules by which the program answers what it receives, as a
// device would. The page edits and stores them; the window hands them to the
// responder that answers.

#include "pipeline/responderstore.h"

#include <QDialog>
#include <QWidget>
#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QGroupBox;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TMessageSink;

class TRequestResponseDialog : public QDialog {
  Q_OBJECT
public:
  explicit TRequestResponseDialog(QWidget *parent = nullptr, TMessageSink *messages = nullptr);

  void SetRule(const TResponderRule &rule);
  TResponderRule Rule() const;
  // Accepts only a rule whose request and response convert; the field that
  // does not shows the reason in its balloon.
  void accept() override;

  QLineEdit *edtRequest;
  QComboBox *cbbMatch;
  QLineEdit *edtResponse;
  QSpinBox *seDelay;
  QCheckBox *chkEnabled;

private:
  bool Check(QLineEdit *field, const std::function<void()> &convert);
  TMessageSink *fMessages;
};

class TResponderPage : public QWidget {
  Q_OBJECT
public:
  explicit TResponderPage(QWidget *parent = nullptr);
  // Writes what a master wrote and is not yet kept.
  ~TResponderPage() override;

  // Problems with typed texts show in balloons there.
  void SetMessages(TMessageSink *messages) { fMessages = messages; }
  // Reads the rules from the file they are kept in from now on. A file that
  // cannot be read is never overwritten: false with the reason, and the
  // page's changes stay in this run.
  bool LoadFile(const QString &fileName, QString &error);
  const TResponderSettings &Settings() const { return fSettings; }
  // A rule (its row) answered once more.
  void AddHit(int rule);
  // A request wrote the device's tables: shown and kept at once.
  void ShowDevice(const TModbusDevice &device);
  // The device's table shown in the grid.
  void ShowTable(int table);
  void actPointAddExecute();
  void actPointRemoveExecute();
  int Hits(int rule) const;

  void actAddExecute();
  void actEditExecute();
  void actRemoveExecute();
  void Move(int by);

  QTreeWidget *lvResponder;
  QAction *actAdd, *actEdit, *actRemove, *actUp, *actDown;
  QCheckBox *chkActive;
  // "Modbus zařízení": on/off, the unit id, which table the grid shows.
  QGroupBox *gbDevice;
  QCheckBox *chkDeviceActive;
  QSpinBox *seDeviceUnit;
  QComboBox *cbbDeviceTable;
  QTableWidget *sgDevice; // address, value, name
  QAction *actPointAdd, *actPointRemove;
  // Runs the dialog; tests answer it without a modal loop.
  std::function<int(TRequestResponseDialog &)> RunDialog;

signals:
  void SettingsChanged(const TResponderSettings &settings);
  void ActiveChanged(bool active);
  // Writing the file failed; the reason.
  void SaveFailed(const QString &error);

private:
  void UpdateActions();
  void Changed();
  void Save();
  void FillDevice();
  // A cell of the grid edited by the user; a value that does not fit goes back.
  void PointEdited(QTableWidgetItem *item);
  void Fill();
  void FillRow(int row);
  int CurrentRow() const;

  TResponderSettings fSettings;
  std::vector<int> fHits;
  QString fFileName;
  bool fKeepFile = false; // the file could not be read: never written
  bool fFilling = false;
  // Values a master writes are kept at most once a second.
  QTimer *fDeviceSave;
  TMessageSink *fMessages = nullptr;
};
