// The information window filled before it was ever shown, as on the first
// hover after the program starts: laid out at its own width, not at the
// default width of a page that no layout has sized yet.
#include "base/xmldoc.h"
#include "view/infowindow.h"

#include <QDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

TXmlElement ByteElement(TXmlDocument &doc) {
  doc.Create(QStringLiteral("data"));
  TXmlElement root = doc.DocumentElement();
  root.SetAttribute(QStringLiteral("index"), QStringLiteral("3"));
  root.SetAttribute(QStringLiteral("valueDEC"), QStringLiteral("200"));
  root.SetAttribute(QStringLiteral("valueHEX"), QStringLiteral("C8"));
  root.SetAttribute(QStringLiteral("valueBIN"), QStringLiteral("1100 1000"));
  root.SetAttribute(QStringLiteral("length"), QStringLiteral("17"));
  root.SetAttribute(QStringLiteral("title"), QStringLiteral("Position: 3/17"));
  return root;
}

TEST(InfoWindowFirstFill, FirstFillIsLaidOutAtTheWindowsWidth) {
  TformDuradiDarozavi_InstInfoBox window;
  window.SetDataFolder(QDir::cleanPath(QStringLiteral(PT_TEST_DATA_DIR "/../../data/pt.files")) +
                       u'/');
  TXmlDocument doc;
  const TXmlElement element = ByteElement(doc);
  window.ShowInstInfo({element});
  // The page spans the window, and its text is laid out at the page's width.
  EXPECT_EQ(window.Browser()->width(), window.width());
  EXPECT_EQ(window.Browser()->document()->textWidth(), window.Browser()->viewport()->width());
  // Every line of the table fits: the shape the window keeps is as wide as
  // the table's widest line.
  EXPECT_GE(window.mask().boundingRect().right(),
            static_cast<int>(window.Browser()->document()->idealWidth()) - 12);
}

} // namespace
