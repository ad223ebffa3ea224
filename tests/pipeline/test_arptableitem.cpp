#include "pipeline/addressrow.h"
#include "pipeline/datalog.h"
#include "pipeline/datanetitems.h"
#include "pipeline/dataobjectqueue.h"
#include "recordingview.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TArpNetRow NetRow(std::array<uint8_t, 4> addr, std::vector<uint8_t> mac, uint32_t type,
                  uint32_t index = 7) {
  TArpNetRow row;
  row.InterfaceIndex = index;
  row.Addr = addr;
  row.PhysAddrLength = static_cast<uint32_t>(mac.size());
  for (size_t i = 0; i < mac.size() && i < row.PhysAddr.size(); ++i)
    row.PhysAddr[i] = mac[i];
  row.Type = type;
  return row;
}

// Crisp glyphs: a pixel of text has exactly the pen's colour.
class CrispView : public TRecordingView {
public:
  CrispView() { font.setStyleStrategy(QFont::NoAntialias); }
  QFont Font() const override { return font; }
  QFont font;
};

struct TLogLine {
  QString text;
  TColor color;
};

// Takes every line queued so far.
std::vector<TLogLine> TakeQueuedLines() {
  std::vector<TLogLine> lines;
  TVexlinDataObject *chain = nullptr;
  if (!VexlinDataObject_POP(chain))
    return lines;
  for (TVexlinDataObject *o = chain; o; o = o->NextDataObj)
    if (auto *log = dynamic_cast<TVexlinDataLog *>(o))
      lines.push_back({log->Text, log->TextColor});
  FreeDataObjectChain(chain);
  return lines;
}

class ArpItem : public ::testing::Test {
protected:
  void SetUp() override {
    TVexlinDataObject::LeftDataOffset = 0;
    TakeQueuedLines();
  }

  QImage Draw(TVexlinDataArpTableItem &item) {
    QImage image(kSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TVexlinPaintInfo info;
    info.Canvas = &painter;
    info.CellRect = info.ContentRect = QRect(QPoint(0, 0), kSize);
    info.Column = DataColumn;
    item.DrawNode(view, info);
    return image;
  }

  static bool HasColour(const QImage &image, const QRect &area, const QColor &colour) {
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = qMax(0, area.left()); x <= area.right() && x < image.width(); ++x)
        if (image.pixelColor(x, y) == colour)
          return true;
    return false;
  }

  static constexpr QSize kSize{700, 18};
  CrispView view;
};

TEST_F(ArpItem, TakesItsFieldsFromTheSystemRow) {
  struct TCase {
    TArpNetRow row;
    QString ip, mac;
  } cases[] = {
      {NetRow({192, 168, 1, 5}, {0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc}, 3), "192.168.1.5",
       "00:11:22:AA:BB:CC"},
      {NetRow({10, 0, 0, 255}, {}, 2), "10.0.0.255", ""},
      // Longer link addresses show their first eight bytes.
      {NetRow({1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 4), "1.2.3.4",
       "01:02:03:04:05:06:07:08"},
  };
  for (const TCase &c : cases) {
    const TArpNetRow &row = c.row;
    TVexlinDataArpTableItem item(row, {});
    EXPECT_EQ(item.IP, c.ip);
    EXPECT_EQ(item.MAC, c.mac);
    EXPECT_EQ(item.ArpType, static_cast<int32_t>(row.Type));
    EXPECT_EQ(item.fNetRow.InterfaceIndex, 7u);
    EXPECT_NE(item.Time, 0);
    ASSERT_EQ(item.fLinkMenu.size(), 3u);
    EXPECT_EQ(item.fLinkMenu[item.link_Ip].Caption, "Copy IP to Clipboard");
    EXPECT_EQ(item.fLinkMenu[item.link_MAC].Caption, "Copy MAC to Clipboard");
    EXPECT_EQ(item.fLinkMenu[2].Caption, "Delete");
    for (int link : {item.link_Ip, item.link_MAC}) {
      EXPECT_TRUE(item.fLinkMenu[link].DontDraw);
      EXPECT_FALSE(item.fLinkMenu[link].InRow);
      EXPECT_TRUE(item.fLinkMenu[link].InPopUp);
      EXPECT_EQ(item.fLinkMenu[link].CursorOver, crDrag);
    }
  }
  // A row read back from a log copies its addresses but deletes nothing.
  TVexlinDataArpTableItem reloaded;
  ASSERT_EQ(reloaded.fLinkMenu.size(), 2u);
  EXPECT_EQ(reloaded.fLinkMenu[1].Caption, "Copy MAC to Clipboard");
}

// The contrast of two colours as readers of text perceive it: 1 (none) to 21.
double Contrast(const QColor &a, const QColor &b) {
  const auto luminance = [](const QColor &c) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(ArpItem, TypeWordsAndColours) {
  const struct {
    int32_t type;
    const char *word;
    QColor colour;
  } cases[] = {{1, "other", QColor(153, 102, 0)},
               {2, "invalid", QColor(112, 112, 112)},
               {3, "dynamic", QColor(0, 128, 128)},
               {4, "static", QColor(0, 0, 128)},
               {0, "", Qt::black},
               {5, "", Qt::black}};
  for (const auto &c : cases) {
    EXPECT_EQ(ArpTypeWord(c.type), c.word) << c.type;
    EXPECT_EQ(ArpTypeColor(c.type), c.colour) << c.type;
    // Every kind reads well on the rows' light yellow.
    EXPECT_GE(Contrast(ArpTypeColor(c.type), ToQColor(kAddressRowColor)), 4.5) << c.type;
  }
}

// The IP and MAC hot areas sit where the layout puts them, the texts are in
// the type's colour, and "removed" pushes the link strip to the right.
TEST_F(ArpItem, DrawsTheEntryOnOneLine) {
  TVexlinDataObject::LeftDataOffset = 20;
  TVexlinDataArpTableItem item(NetRow({10, 1, 2, 3}, {0xde, 0xad, 0xbe, 0xef, 0, 1}, 4), {});
  QImage image = Draw(item);
  const QFontMetrics m(view.font);
  const int d = 20 + 10 + m.horizontalAdvance("IP: ");
  const QRect ip = item.fLinkMenu[item.link_Ip].Rect;
  EXPECT_EQ(ip.left(), d);
  EXPECT_EQ(ip.right(), d + m.horizontalAdvance("255.255.255.255"));
  const int g = ip.right() + 15 + m.horizontalAdvance("MAC: ");
  const QRect mac = item.fLinkMenu[item.link_MAC].Rect;
  EXPECT_EQ(mac.left(), g);
  EXPECT_EQ(mac.right(), g + m.horizontalAdvance("00:00:00:00:00:00"));
  const int o = mac.right() + 25;
  const int u = o + m.horizontalAdvance("dynamicA") + 10;
  EXPECT_EQ(item.fLinkMenu[2].Rect.left(), u);

  const QColor navy(0, 0, 128);
  EXPECT_TRUE(HasColour(image, ip, navy));
  EXPECT_TRUE(HasColour(image, mac, navy));
  EXPECT_TRUE(HasColour(image, QRect(o, 0, u - o, kSize.height()), navy)) << "the word static";
  EXPECT_TRUE(HasColour(image, QRect(20 + 14, 0, d - 34, kSize.height()), QColor(128, 128, 128)));
  EXPECT_EQ(image.pixelColor(kSize.width() - 1, kSize.height() - 1), QColor(255, 255, 192));

  item.fRemoved = true;
  image = Draw(item);
  EXPECT_EQ(item.fLinkMenu[2].Rect.left(), u + m.horizontalAdvance("removed") + 15);
  EXPECT_TRUE(HasColour(image, QRect(u, 0, m.horizontalAdvance("removed"), kSize.height()),
                        QColor(128, 0, 0)));
}

TEST_F(ArpItem, ClickedAddressesGoToTheClipboard) {
  TVexlinDataArpTableItem item(NetRow({172, 16, 0, 9}, {1, 2, 3, 4, 5, 6}, 3), {});
  Draw(item);
  for (int link : {item.link_Ip, item.link_MAC}) {
    const QPoint centre = item.fLinkMenu[link].Rect.center();
    item.DoMouseMove(view, nullptr, Qt::NoModifier, centre.x(), centre.y());
    EXPECT_EQ(view.cursors.back(), crDrag);
    item.DoMouseDown(view, Qt::LeftButton, Qt::NoModifier, centre.x(), centre.y());
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              link == item.link_Ip ? "172.16.0.9" : "01:02:03:04:05:06");
  }
}

// A refused deletion logs in red and leaves the row as it was, so it can be
// tried again; a done one logs in green, marks the row and takes "Delete" away.
TEST_F(ArpItem, DeleteReportsEitherWay) {
  std::vector<TArpNetRow> asked;
  bool allow = false;
  TVexlinDataArpTableItem item(NetRow({10, 0, 0, 5}, {0, 0x11, 0x22, 0x33, 0x44, 0x55}, 3, 12),
                               [&](const TArpNetRow &row) {
                                 asked.push_back(row);
                                 return allow;
                               });
  Draw(item);
  const QPoint link = item.fLinkMenu[2].Rect.center();
  item.DoMouseMove(view, nullptr, Qt::NoModifier, link.x(), link.y());
  item.DoMouseDown(view, Qt::LeftButton, Qt::NoModifier, link.x(), link.y());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].InterfaceIndex, 12u);
  EXPECT_EQ(asked[0].Addr, (std::array<uint8_t, 4>{10, 0, 0, 5}));
  std::vector<TLogLine> lines = TakeQueuedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "ARP record IP: 10.0.0.5 MAC: 00:11:22:33:44:55  - delete fails");
  EXPECT_EQ(lines[0].color, RGBColor(255, 0, 0));
  EXPECT_FALSE(item.fRemoved);
  ASSERT_EQ(item.fLinkMenu.size(), 3u);

  allow = true;
  item.DoMouseDown(view, Qt::LeftButton, Qt::NoModifier, link.x(), link.y());
  lines = TakeQueuedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "ARP record   IP: 10.0.0.5   MAC: 00:11:22:33:44:55  - deleted");
  EXPECT_EQ(lines[0].color, RGBColor(0, 128, 0));
  EXPECT_TRUE(item.fRemoved);
  ASSERT_EQ(item.fLinkMenu.size(), 2u);
  EXPECT_NE(item.fLinkMenu[1].Caption, "Delete");
}

} // namespace
