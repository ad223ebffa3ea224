#pragma once

// "Odpovídač": a test page for request/response pairs. It does not take part
// in communication yet; the list and its dialog are there to be tried out.

#include <QDialog>
#include <QWidget>
#include <functional>

class QAction;
class QLineEdit;
class QTreeWidget;

class TRequestResponseDialog : public QDialog {
  Q_OBJECT
public:
  explicit TRequestResponseDialog(QWidget *parent = nullptr);
  QLineEdit *edtRequest;
  QLineEdit *edtResponse;
};

class TResponderPage : public QWidget {
  Q_OBJECT
public:
  explicit TResponderPage(QWidget *parent = nullptr);

  void actAddExecute();

  QTreeWidget *lvResponder;
  QAction *actAdd, *actEdit, *actRemove;
  // Runs the dialog; tests answer it without a modal loop.
  std::function<int(TRequestResponseDialog &)> RunDialog;

private:
  void UpdateActions();
};
