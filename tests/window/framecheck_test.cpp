#include "app/parserpage.h"
#include "pipeline/databinary.h"
#include "redpixels.h"
#include "windowfixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>

namespace {

const QByteArray kGoodFrame = QByteArray::fromHex("2A610008010223148107AA0D");
const QByteArray kBadSumFrame = QByteArray::fromHex("2A6100080102231481072D0D");

void MouseTo(QWidget *target, QEvent::Type type, QPoint pos,
             Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button,
                    type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

class FrameCheckWindow : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->ParserPage()->rbProtocolPelmar97->click();
    window->Receive(kGoodFrame + kBadSumFrame, {});
    ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
    list = window->vstTerminal();
    // Rows are measured as they are painted: a wrapped frame gets its real
    // height, and the next row its real place, only then.
    list->viewport()->grab();
  }
  // The hexadecimal cell of byte `position` (1-based) of `row`; a narrow
  // list wraps a frame onto several lines.
  QRect HexCellOf(size_t row, int position) const {
    const QRect cell = list->NodeCellRect(list->NodeAt(row), DataColumn);
    const int w = TVexlinDataBinary::HexCharWidth;
    const int perLine = TVexlinDataBinary::CharsPerLine;
    const int pitch = TVexlinDataBinary::HexCharHeight + 3;
    return {cell.left() + TVexlinDataObject::LeftDataOffset + (position - 1) % perLine * 3 * w,
            cell.top() + (position - 1) / perLine * pitch, 3 * w, pitch};
  }
  QPoint ByteAt(size_t row, int position) const {
    return HexCellOf(row, position).topLeft() + QPoint(4, 4);
  }
  QString InformationText() const {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *browser = w->findChild<QTextEdit *>("wb1"))
        return browser->toPlainText();
    return {};
  }

  TVexlinTree *list = nullptr;
};

TEST_F(FrameCheckWindow, TheFaultyByteHasARedFrameAndTheGoodRowNone) {
  const QImage image = list->viewport()->grab().toImage();
  auto red = [&](const QRect &r) { return RedPixels(image, r); };
  const QRect badRow = list->NodeCellRect(list->NodeAt(1), DataColumn);
  const QRect goodRow = list->NodeCellRect(list->NodeAt(0), DataColumn);
  EXPECT_EQ(red(goodRow), 0);
  const QRect sum = HexCellOf(1, 11);
  EXPECT_GE(red(sum), 2 * sum.width() + 2 * sum.height() - 4) << "the whole outline";
  // On the hexadecimal side nothing else is red; the character side frames
  // the same byte.
  const QRect hexSide(badRow.left(), badRow.top(),
                      TVexlinDataObject::LeftDataOffset + TVexlinDataBinary::HexColumnWidth,
                      badRow.height());
  EXPECT_EQ(red(hexSide), red(sum));
  EXPECT_GT(red(badRow), red(sum));
}

TEST_F(FrameCheckWindow, BothWindowsSayWhatIsWrongInTheCurrentLanguage) {
  const struct {
    const char *file; // none: the built-in texts
    QString title, fault;
  } languages[] = {
      {nullptr, QStringLiteral("Chyba rámce"), QStringLiteral("SUM 2D, očekáváno AA")},
      {"pt.lng.en.xml", "Frame error", "SUM 2D, expected AA"},
      {"pt.lng.cs.xml", QStringLiteral("Chyba rámce"), QStringLiteral("SUM 2D, očekáváno AA")},
  };
  QWidget *viewport = list->viewport();
  for (const auto &language : languages) {
    if (language.file)
      window->LoadLanguage(QStringLiteral(PT_DATA_FILES_DIR "/") + language.file);
    SCOPED_TRACE(language.file ? language.file : "built-in");
    MouseTo(viewport, QEvent::MouseMove, ByteAt(0, 11));
    EXPECT_TRUE(InformationText().contains("SUM")) << InformationText().toStdString();
    EXPECT_FALSE(InformationText().contains(language.title)) << InformationText().toStdString();
    MouseTo(viewport, QEvent::MouseMove, ByteAt(1, 3));
    EXPECT_TRUE(InformationText().contains(language.title)) << InformationText().toStdString();
    EXPECT_TRUE(InformationText().contains(language.fault));

    for (size_t row : {0u, 1u})
      MouseTo(viewport, QEvent::MouseButtonDblClick, ByteAt(row, 3), Qt::LeftButton);
    QString details[2];
    for (QWidget *w : QApplication::topLevelWidgets())
      for (int row : {0, 1})
        if (w->objectName() == QStringLiteral("pf_%1").arg(row) && w->isVisible()) {
          details[row] = w->findChild<QPlainTextEdit *>()->toPlainText();
          w->close();
        }
    ASSERT_FALSE(details[0].isEmpty());
    EXPECT_FALSE(details[0].contains(language.title));
    EXPECT_TRUE(details[1].endsWith("\n\n" + language.title + ":\n" + language.fault))
        << details[1].toStdString();
  }
}

} // namespace
