#include "base/pterror.h"
#include "base/xmldoc.h"
#include "hangguard.h"
#include "pipeline/databinary.h"
#include "pipeline/trackingview.h"
#include "view/infowindow.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The style sheets shipped with the program.
QString ShippedDataFolder() {
  return QDir::cleanPath(QStringLiteral(PT_TEST_DATA_DIR "/../../data/pt.files")) + u'/';
}

void WriteFile(const QString &fileName, const QByteArray &text) {
  QFile file(fileName);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// A style sheet that shows only the title.
const QByteArray kTitleOnlyXsl =
    R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html"/>
  <xsl:template match="/data"><b><xsl:value-of select="@title"/></b></xsl:template>
</xsl:stylesheet>)";

class InfoWindow : public ::testing::Test {
protected:
  void SetUp() override { window.SetDataFolder(ShippedDataFolder()); }

  // A "data" element as a packet row writes it.
  TXmlElement DataElement(int index, int length) {
    TXmlDocument &doc = docs.emplace_back();
    doc.Create(QStringLiteral("data"));
    TXmlElement root = doc.DocumentElement();
    root.SetAttribute(QStringLiteral("index"), QString::number(index));
    root.SetAttribute(QStringLiteral("valueDEC"), QStringLiteral("65"));
    root.SetAttribute(QStringLiteral("valueHEX"), QStringLiteral("41"));
    root.SetAttribute(QStringLiteral("valueBIN"), QStringLiteral("0100 0001"));
    root.SetAttribute(QStringLiteral("length"), QString::number(length));
    root.SetAttribute(QStringLiteral("title"),
                      QStringLiteral("Position: %1/%2").arg(index).arg(length));
    return root;
  }
  QString Shown() const { return window.Browser()->document()->toPlainText(); }
  int FittedHeight() const {
    return static_cast<int>(std::ceil(window.Browser()->document()->size().height())) + 10;
  }

  std::list<TXmlDocument> docs;
  TformDuradiDarozavi_InstInfoBox window;
};

TEST_F(InfoWindow, NeverTakesFocusOrInput) {
  const Qt::WindowFlags flags = window.windowFlags();
  for (Qt::WindowType f : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint,
                           Qt::WindowTransparentForInput, Qt::WindowDoesNotAcceptFocus})
    EXPECT_TRUE(flags.testFlag(f)) << f;
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_NEAR(window.windowOpacity(), 230.0 / 255.0, 0.01);
  EXPECT_EQ(window.size(), QSize(689, 288));
  auto *wb1 = window.findChild<QTextBrowser *>(QStringLiteral("wb1"));
  ASSERT_EQ(wb1, window.Browser());
  EXPECT_EQ(wb1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(wb1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(InfoWindow, RendersTheTitleAndFitsTheHeight) {
  window.ShowInstInfo({DataElement(3, 10)});
  EXPECT_TRUE(Shown().trimmed().startsWith(QStringLiteral("Position: 3/10"))); // title on top
  EXPECT_TRUE(Shown().contains(QStringLiteral("0100 0001")));
  EXPECT_FALSE(window.isVisible()); // showing is the caller's business
  EXPECT_EQ(window.width(), 689);
  const int one = window.height();
  EXPECT_EQ(one, FittedHeight());
  EXPECT_LT(one, 288);

  window.ShowInstInfo({DataElement(1, 4), DataElement(2, 4), DataElement(3, 4)});
  EXPECT_EQ(window.height(), FittedHeight());
  EXPECT_GT(window.height(), one);

  window.ShowInstInfo({});
  EXPECT_TRUE(Shown().isEmpty());
}

TEST_F(InfoWindow, MissingStyleSheetRaisesAndLeavesTheWindowAlone) {
  window.ShowInstInfo({DataElement(3, 10)});
  QTemporaryDir empty;
  window.SetDataFolder(empty.path());
  EXPECT_THROW(window.ShowInstInfo({DataElement(4, 10)}), EPtError);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10")));

  // The style sheet is read on every call, so a repaired file works at once.
  WriteFile(empty.filePath(QStringLiteral("pt_protocol.xsl")), kTitleOnlyXsl);
  window.ShowInstInfo({DataElement(4, 10)}); // no CSS: plain rendering
  EXPECT_EQ(Shown().trimmed(), QStringLiteral("Position: 4/10"));
}

// A style sheet that shows the title and the picture the element names.
const QByteArray kPictureXsl =
    R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html"/>
  <xsl:template match="/data"><b><xsl:value-of select="@title"/></b><img src="{@src}"/></xsl:template>
</xsl:stylesheet>)";

// A hostile data folder: links to devices, FIFOs, pages and style sheets that
// name /dev/zero or files elsewhere. Nothing may block, and the page gets
// regular files of the data folder only.
TEST_F(InfoWindow, ReadsOnlyRegularFilesOfTheDataFolder) {
  QTemporaryDir folder, elsewhere;
  window.SetDataFolder(folder.path());
  WriteFile(folder.filePath(QStringLiteral("pt_protocol.xsl")), kPictureXsl);
  QImage tall(20, 200, QImage::Format_RGB32);
  tall.fill(Qt::blue);
  ASSERT_TRUE(tall.save(folder.filePath(QStringLiteral("tall.png"))));
  ASSERT_TRUE(tall.save(elsewhere.filePath(QStringLiteral("tall.png"))));
  ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("tall.png")),
                          folder.filePath(QStringLiteral("outside.png"))));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), folder.filePath(QStringLiteral("zero"))));
  ASSERT_EQ(mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("fifo"))).constData(), 0600),
            0);
  auto withPicture = [this](const QString &src) {
    TXmlElement element = DataElement(3, 10);
    element.SetAttribute(QStringLiteral("src"), src);
    return element;
  };
  const QString css = folder.filePath(QStringLiteral("pt_protocol.css"));
  THangGuard guard("the information window over a hostile data folder");

  struct Picture {
    QString src;
    bool shown;
  };
  const Picture pictures[] = {
      {QStringLiteral("tall.png"), true},
      {QUrl::fromLocalFile(folder.filePath(QStringLiteral("tall.png"))).toString(), true},
      {QUrl::fromLocalFile(elsewhere.filePath(QStringLiteral("tall.png"))).toString(), false},
      {QStringLiteral("outside.png"), false},
      {QStringLiteral("zero"), false},
      {QStringLiteral("fifo"), false},
      {QStringLiteral("file:///dev/zero"), false},
      {QStringLiteral("http://127.0.0.1:9/tall.png"), false},
  };
  for (const Picture &p : pictures) {
    window.ShowInstInfo({withPicture(p.src)});
    EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10"))) << p.src.toStdString();
    EXPECT_EQ(window.height() > 200, p.shown) << p.src.toStdString() << " " << window.height();
  }

  // The style sheet itself as a device, a FIFO, or naming them.
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), css));
  window.ShowInstInfo({withPicture(QString())});
  EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10")));
  ASSERT_TRUE(QFile::remove(css));
  ASSERT_EQ(mkfifo(QFile::encodeName(css).constData(), 0600), 0);
  window.ShowInstInfo({withPicture(QString())});
  EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10")));
  ASSERT_TRUE(QFile::remove(css));
  WriteFile(css, "@import url(file:///dev/zero); @import url(fifo);\n"
                 "body { background-image: url(file:///dev/zero); color: #000000; }\n"
                 "b { background-image: url(zero); }");
  window.ShowInstInfo({withPicture(QString())});
  EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10")));
}

TEST_F(InfoWindow, WhiteIsSeeThrough) {
  QTemporaryDir folder;
  window.SetDataFolder(folder.path());
  WriteFile(folder.filePath(QStringLiteral("pt_protocol.xsl")), kTitleOnlyXsl);
  const QString css = folder.filePath(QStringLiteral("pt_protocol.css"));

  WriteFile(css, "body { background-color: #FF0000; color: #000000; }");
  window.ShowInstInfo({DataElement(3, 10)});
  EXPECT_TRUE(window.mask().contains(QPoint(1, 1)));

  WriteFile(css, "body { background-color: #FFFFFF; color: #000000; }");
  window.ShowInstInfo({DataElement(3, 10)});
  EXPECT_FALSE(window.mask().contains(QPoint(1, 1)));
  EXPECT_FALSE(window.mask().isEmpty()); // the text stays
}

TEST_F(InfoWindow, ShowAtMovesWithoutResizing) {
  window.ShowInstInfo({DataElement(3, 10)});
  const QSize size = window.size();
  window.ShowAt(QPoint(120, 80));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.pos(), QPoint(120, 80));
  EXPECT_EQ(window.size(), size);
  window.Hide();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(InfoWindow, FollowsTheMouseOverAPacketRow) {
  TTrackingView view;
  view.infoWindow = &window;
  TVexlinDataObject::LeftDataOffset = 0;
  TVexlinDataBinary::LastSender = nullptr;
  TVexlinDataBinary::HexCharWidth = 7;
  TVexlinDataBinary::HexCharHeight = 13;
  TVexlinDataBinary::RecountColumnSize(view.dataCell.width());
  int storage = 0;
  auto *node = reinterpret_cast<TVexlinNode *>(&storage);
  TVexlinDataBinary packet(QByteArray(10, 'A'), spRx);

  const QPoint third = view.dataCell.topLeft() + QPoint(2 * 21 + 3, 4);
  packet.DoMouseMove(view, node, Qt::NoModifier, third.x(), third.y());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(Shown().contains(QStringLiteral("Position: 3/10")));
  EXPECT_EQ(window.pos(), view.MapToGlobal(third) + QPoint(7, 15));

  packet.DoMouseLeave(&view, node);
  EXPECT_FALSE(window.isVisible());
}

} // namespace
