// The main window's ASCII table, about box and version check.

#include "app/mainwindow.h"
#include "base/datafolder.h"
#include "netutils/versioncheck.h"
#include "widgets/about.h"
#include "widgets/asciitable.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace {

// Runs `click` on a left click of the watched widget.
class TClickWatch : public QObject {
public:
  TClickWatch(QWidget *watched, std::function<void()> click)
      : QObject(watched), fClick(std::move(click)) {
    watched->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
      fClick();
    return false;
  }

private:
  std::function<void()> fClick;
};

void CentreOnScreen(QWidget *window) {
  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
  }
}

} // namespace

void TfMainPelmarTerm::BuildAbout() {
  OpenDocument = DesktopDocumentOpener();
  if (auto *ascii = findChild<QAction *>(QStringLiteral("aAsciiTable")))
    connect(ascii, &QAction::triggered, this, &TfMainPelmarTerm::aAsciiTableExecute);
  connect(mimAbout, &QAction::triggered, this, &TfMainPelmarTerm::ShowAbout);
  if (auto *picture = findChild<QLabel *>(QStringLiteral("pnlPelmarPicture")))
    new TClickWatch(picture, [this] { ShowAbout(); });
  // Sent once per start when the build names a host; the reply is not used.
  fVerRequest = RunVerRequest(QStringLiteral(PT_VERSION_CHECK_HOST),
                              QGuiApplication::applicationDisplayName(), {}, false);
}

void TfMainPelmarTerm::aAsciiTableExecute() {
  if (!fAsciiTable) {
    // A window of its own with its own task-bar entry, closed with ours.
    fAsciiTable = std::make_unique<TfAsciiTable>();
    CentreOnScreen(fAsciiTable.get());
  }
  fAsciiTable->show();
  fAsciiTable->raise();
  fAsciiTable->activateWindow();
}

TfAbout *TfMainPelmarTerm::ShowAbout() {
  auto *about = new TfAbout(QCoreApplication::applicationDirPath(),
                            DataFolders().ReadFolder(QStringLiteral("pt_version_prj.xml")),
                            [this](const QUrl &file, bool inBrowser) {
                              if (OpenDocument)
                                OpenDocument(file, inBrowser);
                            });
  fAboutBoxes.Add(about);
  about->setWindowTitle(windowTitle());
  CentreOnScreen(about);
  about->show();
  return about;
}
