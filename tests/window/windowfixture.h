#pragma once

#include "app/mainwindow.h"
#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "waitfor.h"
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Answers every dialog from a script and records what was shown.
class TScriptedDialogs : public TPtDialogs {
public:
  void ShowError(QWidget *, const QString &title, const QString &text) override {
    errors << title + ": " + text;
  }
  void ShowMessage(QWidget *, const QString &text) override { messages << text; }
  TAnswer AskYesNoCancel(QWidget *, const QString &title, const QString &text) override {
    titles << title;
    questions << text;
    return answer;
  }
  void ShowBalloon(QWidget *, const QString &title, const QString &text) override {
    balloon = text.isEmpty() ? QString() : title + " " + text;
  }
  QString SaveFileName(QWidget *, const QString &proposed, const QString &) override {
    saveProposed = proposed;
    return saveName;
  }
  QString OpenFileName(QWidget *, const QString &folder) override {
    openFolder = folder;
    return openName;
  }
  bool AskNumber(QWidget *, const QString &title, const QString &label, int &value, int,
                 int) override {
    titles << title;
    questions << label;
    numberProposed = value;
    if (numberAnswer)
      value = *numberAnswer;
    return numberAnswer.has_value();
  }

  std::optional<int> numberAnswer; // none: cancelled
  int numberProposed = -1;
  QStringList errors, messages, questions, titles; // titles: of the questions
  QString balloon, saveName, saveProposed, openName, openFolder;
  TAnswer answer = Cancel;
};

// A real main window in a temporary working folder.
class WindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // Every test starts as a first run: nothing saved by an earlier one.
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Vexlin")).clear();
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    // A private copy of the shipped data folder: what a test stores there
    // (presets, the command table) never reaches the source tree.
    const QString data = dir.filePath(QStringLiteral("pt.files"));
    QDir().mkpath(data);
    for (const QFileInfo &f : QDir(QStringLiteral(PT_DATA_FILES_DIR)).entryInfoList(QDir::Files))
      QFile::copy(f.filePath(), data + u'/' + f.fileName());
    qputenv("PT_DATA_DIR", QFile::encodeName(data));
    Open();
  }
  void TearDown() override {
    Close();
    QDir::setCurrent(previous);
  }
  void Open() {
    window = std::make_unique<TfMainPelmarTerm>(dialogs, dir.filePath("config.xml"));
    window->show();
    Process();
  }
  void Close() {
    if (window)
      window->close();
    window.reset();
  }
  void Process() { QCoreApplication::processEvents(); }

  QTemporaryDir dir;
  QString previous;
  TScriptedDialogs dialogs;
  std::unique_ptr<TfMainPelmarTerm> window;
};

// The rows of the packet list as (kind, direction, bytes or text, log colour).
struct Row {
  QString kind;
  int direction;
  QByteArray bytes;
  TColor color = 0;
};

inline std::vector<Row> Rows(TVexlinTree *view) {
  std::vector<Row> out;
  for (size_t i = 0; i < view->RowCount(); ++i) {
    TVexlinDataObject *o = view->NodeAt(i)->Data;
    if (auto *b = dynamic_cast<TVexlinDataBinary *>(o))
      out.push_back({o->ClassType()->Name, b->Direction, b->Data});
    else if (auto *l = dynamic_cast<TVexlinDataLog *>(o))
      out.push_back({o->ClassType()->Name, 0, l->Text.toUtf8(), l->TextColor});
  }
  return out;
}

// The texts of the log rows in one colour, in order.
inline QStringList LogLines(TVexlinTree *view, TColor color) {
  QStringList lines;
  for (const Row &r : Rows(view))
    if (r.kind == "TVexlinDataLog" && r.color == color)
      lines << QString::fromUtf8(r.bytes);
  return lines;
}

inline QByteArray Remainder(TVexlinTree *rx) {
  if (rx->RowCount() == 0)
    return {};
  return static_cast<TVexlinDataBinary *>(rx->NodeAt(0)->Data)->Data;
}
