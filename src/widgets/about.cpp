#include "widgets/about.h"

#include "base/languagetext.h"
#include "base/versioninfo.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

const QColor kTitleColour(255, 102, 0);
const QSize kDesignedSize(301, 157);
const QColor kHoverColour(0, 0, 128);

bool IsFile(const QString &path) {
  return QFileInfo(path).isFile();
}

} // namespace

TDocumentOpener DesktopDocumentOpener() {
  // The desktop picks the program by the file's type: a browser for the
  // styled XML on most desktops, the text editor for "history.txt".
  return [](const QUrl &file, bool) { QDesktopServices::openUrl(file); };
}

TfAbout::TfAbout(const QString &programFolder, const QString &dataFolder, TDocumentOpener opener,
                 QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowCloseButtonHint), fProgramFolder(programFolder),
      fDataFolder(dataFolder), fOpener(std::move(opener)) {
  setObjectName(QStringLiteral("fAbout"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false); // the main window's close ends the program
  setFixedSize(kDesignedSize);
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(10, 10, 10, 10);
  auto *pCenter = new QFrame(this);
  pCenter->setObjectName(QStringLiteral("pCenter"));
  pCenter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  outer->addWidget(pCenter);
  auto *layout = new QVBoxLayout(pCenter);

  Label1 = new QLabel(QStringLiteral("Pelmar Terminal"), pCenter);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont title(QStringLiteral("Arial"));
  title.setPixelSize(32);
  title.setBold(true);
  Label1->setFont(title);
  QPalette titlePalette = Label1->palette();
  titlePalette.setColor(QPalette::WindowText, kTitleColour);
  Label1->setPalette(titlePalette);
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  layout->addWidget(Label1);
  layout->addStretch(1);

  pHistory = new QLabel(pCenter);
  ShowVersion();
  pHistory->setObjectName(QStringLiteral("pHistory"));
  pHistory->setFont(QFont(QStringLiteral("Arial"), 8));
  pHistory->setAlignment(Qt::AlignCenter);
  pHistory->setAttribute(Qt::WA_Hover);
  pHistory->installEventFilter(this);
  layout->addWidget(pHistory);
  SetHighlight(false);
}

void TfAbout::showEvent(QShowEvent *event) {
  setFixedSize(kDesignedSize.expandedTo(sizeHint()));
  QWidget::showEvent(event);
}

QString TfAbout::HistoryFile(bool *inBrowser) const {
  const QString styled = fDataFolder + QStringLiteral("pt_version_prj.xml");
  const bool browser = IsFile(styled) && IsFile(fDataFolder + QStringLiteral("pt_version_prj.xsl"));
  if (inBrowser)
    *inBrowser = browser;
  if (browser)
    return styled;
  const QString text = QDir(fProgramFolder).filePath(QStringLiteral("history.txt"));
  return IsFile(text) ? text : QString();
}

void TfAbout::pHistoryClick() {
  bool inBrowser = false;
  const QString file = HistoryFile(&inBrowser);
  if (!file.isEmpty() && fOpener)
    fOpener(QUrl::fromLocalFile(file), inBrowser);
}

void TfAbout::SetHighlight(bool on) {
  pHistory->setFrameStyle(on ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
  pHistory->setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
  QPalette palette = this->palette();
  if (on)
    palette.setColor(QPalette::WindowText, kHoverColour);
  pHistory->setPalette(palette);
}

bool TfAbout::eventFilter(QObject *watched, QEvent *event) {
  if (watched == pHistory) {
    switch (event->type()) {
    case QEvent::Enter:
      // Feedback only when a click has something to open.
      SetHighlight(!HistoryFile().isEmpty());
      break;
    case QEvent::Leave:
      SetHighlight(false);
      break;
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        pHistoryClick();
      break;
    default:
      break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TfAbout::ShowVersion() {
  pHistory->setText(LanguageText(QStringLiteral("AboutVersion"), QStringLiteral("Verze: ")) +
                    GetFileVersion());
}

void TfAbout::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::LanguageChange)
    ShowVersion();
}
