#include "pipeline/datalog.h"
#include "recordingview.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

class LogRow : public ::testing::Test {
protected:
  void SetUp() override { TVexlinDataObject::LeftDataOffset = 0; }

  QImage Draw(TVexlinDataLog &row) {
    QImage image(kSize, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    TVexlinPaintInfo info;
    info.Canvas = &painter;
    info.CellRect = info.ContentRect = QRect(QPoint(0, 0), kSize);
    info.Column = DataColumn;
    row.DrawNode(view, info);
    return image;
  }

  static constexpr QSize kSize{500, 20};
  TRecordingView view;
};

// A line longer than the row is cut where it leaves the row: what shows is
// exactly what drawing the whole text shows.
TEST_F(LogRow, LongLineLooksAsTheWholeText) {
  QString text;
  while (text.size() < 5000)
    text += QStringLiteral("Přijato %1 bajtů\tz 127.0.0.1 ").arg(text.size());
  TVexlinDataLog row(text, 0x800000);
  const QImage drawn = Draw(row);

  QImage whole(kSize, QImage::Format_RGB32);
  whole.fill(Qt::black);
  QPainter painter(&whole);
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(ToQColor(row.GetBckColor()));
  painter.setPen(ToQColor(row.TextColor));
  painter.setFont(view.Font());
  painter.drawText(QRect(4, 1, kSize.width() - 4, kSize.height() - 1),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  painter.end();
  EXPECT_EQ(drawn, whole);
  EXPECT_NE(drawn, QImage(kSize, QImage::Format_RGB32)) << "something was drawn";
}

// Only the start that fills the row is measured and drawn, however long the
// line; a row's height never depends on its text.
TEST_F(LogRow, OnlyTheVisibleStartIsLaidOut) {
  const QFontMetrics metrics(view.Font());
  const int width = 500;
  const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two units
  struct TCase {
    const char *Name;
    QString Text;
    qsizetype AtMost;
  };
  const TCase cases[] = {
      {"short", QStringLiteral("Odpojeno"), 8},
      {"5 M characters", QString(5'000'000, u'W'), width + 512},
      {"surrogate pairs", pair.repeated(100'000), 2 * width + 514},
      {"zero-width", QString(1'000'000, QChar(0x200B)), 64 * 1024 + 258},
  };
  for (const TCase &c : cases) {
    const qsizetype n = VisibleTextLength(c.Text, metrics, width);
    EXPECT_LE(n, c.AtMost) << c.Name;
    EXPECT_GE(
        metrics.horizontalAdvance(c.Text.first(n)),
        qMin(width, metrics.horizontalAdvance(c.Text.first(qMin<qsizetype>(c.Text.size(), 2000)))))
        << c.Name << ": the row's width is covered";
    EXPECT_FALSE(n > 0 && n < c.Text.size() && c.Text[n].isLowSurrogate()) << c.Name;
  }

  TVexlinDataLog huge(QString(5'000'000, u'W'), 0);
  int height = 0;
  huge.MeasureHeight(view, nullptr, nullptr, height);
  EXPECT_EQ(height, view.DefaultNodeHeight());
}

} // namespace
