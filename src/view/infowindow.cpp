#include "view/infowindow.h"

#include "base/datafolder.h"
#include "base/fileio.h"
#include "base/pterror.h"
#include "base/xmldoc.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int kInitialWidth = 689;
constexpr int kInitialHeight = 288;
constexpr double kOpacity = 230.0 / 255.0;
// Room below the rendered page, so the last line is not cut.
constexpr int kHeightMargin = 10;

const QRgb kTransparentColor = qRgb(255, 255, 255);

QString CssFileName(const QString &folder) {
  return folder + QStringLiteral("pt_protocol.css");
}

QString XslFileName(const QString &folder) {
  return folder + QStringLiteral("pt_protocol.xsl");
}

// Style sheets and whatever they or the page refer to are small; a larger
// file is not read.
constexpr qint64 kMaxResourceBytes = 4 << 20;

QString ReadStyleSheet(const QString &fileName) {
  QByteArray bytes;
  // A missing or unreadable style sheet only costs the styles.
  ReadRegularFile(fileName, kMaxResourceBytes, bytes);
  return QString::fromUtf8(bytes);
}

// The bytes of a resource the page or its style sheet refers to: only a
// regular file inside the data folder, within the size limit. Anything else
// (other folders, devices, the network) reads as empty.
QByteArray DataFolderResource(const QString &folder, const QUrl &name) {
  const QUrl url = name.isRelative() ? QUrl::fromLocalFile(folder).resolved(name) : name;
  if (!url.isLocalFile())
    return QByteArray();
  const QString root = QFileInfo(folder).canonicalFilePath();
  const QString path = QFileInfo(url.toLocalFile()).canonicalFilePath();
  if (root.isEmpty() || !path.startsWith(root + u'/'))
    return QByteArray();
  QByteArray bytes;
  ReadRegularFile(path, kMaxResourceBytes, bytes);
  return bytes;
}

// The page view of the window. Left to itself it would read any file or URL
// the style sheet or the transformed page names, /dev/zero included.
class TInfoBrowser : public QTextBrowser {
public:
  TInfoBrowser(const QString &dataFolder, QWidget *parent)
      : QTextBrowser(parent), fDataFolder(dataFolder) {}

  QVariant loadResource(int, const QUrl &name) override {
    // data: URLs are decoded in memory by the document itself.
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
      return QVariant();
    // Never a null answer: the document would then read the file itself.
    return QVariant(DataFolderResource(fDataFolder, name));
  }

private:
  const QString &fDataFolder;
};

} // namespace

TformDuradiDarozavi_InstInfoBox::TformDuradiDarozavi_InstInfoBox(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      fDataFolder(DataFolders().ReadFolder(QStringLiteral("pt_protocol.xsl"))),
      wb1(new TInfoBrowser(fDataFolder, this)) {
  setObjectName(QStringLiteral("formDuradiDarozavi_InstInfoBox"));
  setWindowTitle(QStringLiteral("Pelmar InstInfoBox"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setWindowOpacity(kOpacity);

  wb1->setObjectName(QStringLiteral("wb1"));
  wb1->setFrameShape(QFrame::NoFrame);
  wb1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  wb1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  wb1->setFocusPolicy(Qt::NoFocus);
  wb1->setTextInteractionFlags(Qt::NoTextInteraction);
  wb1->setOpenLinks(false);
  wb1->setAttribute(Qt::WA_TransparentForMouseEvents);
  // White is the see-through colour, so the page's own ground is white.
  QPalette palette = wb1->palette();
  palette.setColor(QPalette::Base, QColor(kTransparentColor));
  wb1->setPalette(palette);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(wb1);
  resize(kInitialWidth, kInitialHeight);
}

void TformDuradiDarozavi_InstInfoBox::SetDataFolder(const QString &folder) {
  fDataFolder = folder.endsWith(u'/') ? folder : folder + u'/';
}

void TformDuradiDarozavi_InstInfoBox::ShowInstInfo(const std::vector<TXmlElement> &Nodes) {
  TXslTransform xsl;
  if (!xsl.Load(XslFileName(fDataFolder)))
    throw EPtError(xsl.ErrorText());
  QString rows;
  for (const TXmlElement &node : Nodes)
    rows += QStringLiteral("<tr><td>") + xsl.TransformElement(node) + QStringLiteral("</td></tr>");

  const QString cssFile = CssFileName(fDataFolder);
  QString html;
  if (!rows.isEmpty()) {
    const QString href = QUrl::fromLocalFile(cssFile).toString().toHtmlEscaped();
    html = QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"") + href +
           QStringLiteral("\"></head><body><table>") + rows +
           QStringLiteral("</table></body></html>");
  }
  // Before the window was ever shown its layout has not sized the page yet:
  // laid out at the page's default width, every value would be cut short.
  layout()->activate();
  LoadDocFromString(html, ReadStyleSheet(cssFile));

  QTextDocument *doc = wb1->document();
  doc->setTextWidth(width());
  resize(width(), static_cast<int>(std::ceil(doc->size().height())) + kHeightMargin);
  UpdateTransparentMask();
}

void TformDuradiDarozavi_InstInfoBox::LoadDocFromString(const QString &html,
                                                        const QString &styleSheet) {
  // Rich text does not follow <link> elements, so the CSS file becomes the
  // document's default style sheet; it must be set before the HTML is parsed.
  QTextDocument *doc = wb1->document();
  doc->setDefaultStyleSheet(styleSheet);
  wb1->setHtml(html);
}

void TformDuradiDarozavi_InstInfoBox::UpdateTransparentMask() {
  // White pixels are cut out of the window with a shape mask made from the
  // rendered page, as a colour key would: what the style sheet paints white
  // (the page ground, white cells) shows what lies beneath.
  QImage page(size(), QImage::Format_RGB32);
  page.fill(kTransparentColor);
  {
    QPainter painter(&page);
    wb1->document()->drawContents(&painter, QRectF(QPointF(0, 0), QSizeF(size())));
  }
  const QRegion visible(
      QBitmap::fromImage(page.createMaskFromColor(kTransparentColor, Qt::MaskInColor)));
  // An empty mask means "no mask" to Qt; a region outside the window keeps an
  // all-white page fully see-through instead.
  setMask(visible.isEmpty() ? QRegion(-1, -1, 1, 1) : visible);
}

void TformDuradiDarozavi_InstInfoBox::ShowAt(QPoint globalTopLeft) {
  move(globalTopLeft);
  if (!isVisible())
    show();
}

void TformDuradiDarozavi_InstInfoBox::Hide() {
  hide();
}
