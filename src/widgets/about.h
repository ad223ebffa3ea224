#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;

// How the about box opens a history file: `inBrowser` for the styled XML
// history, else a plain-text editor. Tests replace it so no program starts.
using TDocumentOpener = std::function<void(const QUrl &file, bool inBrowser)>;
// The desktop's handler for the file's type.
TDocumentOpener DesktopDocumentOpener();

// The about box: the product name and a version line that opens the release
// history when one is installed.
class TfAbout : public QWidget {
  Q_OBJECT
public:
  // `programFolder` may hold "history.txt"; `dataFolder` (ending in a
  // separator) may hold "pt_version_prj.xml" with its style sheet.
  TfAbout(const QString &programFolder, const QString &dataFolder, TDocumentOpener opener,
          QWidget *parent = nullptr);

  QLabel *History() const { return pHistory; }
  // The file the version line opens and whether in a browser; empty when
  // neither history is installed.
  QString HistoryFile(bool *inBrowser = nullptr) const;
  void pHistoryClick();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void changeEvent(QEvent *event) override;
  // The box keeps its designed size unless its texts, as translated by
  // then, need more.
  void showEvent(QShowEvent *event) override;

private:
  void SetHighlight(bool on);
  void ShowVersion();

  QString fProgramFolder;
  QString fDataFolder;
  TDocumentOpener fOpener;
  QLabel *Label1 = nullptr;
  QLabel *pHistory = nullptr;
};
