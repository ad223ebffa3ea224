#include "view/packetdetail.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

constexpr int kInitialWidth = 563;
constexpr int kInitialHeight = 324;

QFont DetailFont() {
  // Consolas where it is installed, the system's fixed-pitch font otherwise.
  QFont font(QStringLiteral("Consolas"), 10);
  font.setStyleHint(QFont::Monospace);
  font.setFamilies(
      {QStringLiteral("Consolas"), QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  return font;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), redt1(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Detail info"));
  setAttribute(Qt::WA_DeleteOnClose);

  redt1->setObjectName(QStringLiteral("redt1"));
  redt1->setReadOnly(true);
  redt1->setFont(DetailFont());
  redt1->setLineWrapMode(QPlainTextEdit::WidgetWidth);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(redt1);
  resize(kInitialWidth, kInitialHeight);
}

void TForm2::SetText(const QString &text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines.replace(u'\r', u'\n');
  redt1->setPlainText(lines);
}

QString PacketDetailName(int row) {
  return QStringLiteral("pf_%1").arg(row);
}

QString PacketDetailCaption(const QString &captionFormat, int row) {
  QString caption = captionFormat;
  const qsizetype at = caption.indexOf(QStringLiteral("%d"));
  if (at >= 0)
    caption.replace(at, 2, QString::number(row));
  return caption;
}

TForm2 *ShowPacketDetail(QWidget *mainWindow, int row, const QString &text,
                         const QString &captionFormat) {
  const QString name = PacketDetailName(row);
  for (QWidget *widget : QApplication::topLevelWidgets()) {
    auto *form = qobject_cast<TForm2 *>(widget);
    // A closed window is hidden and only waits for its deletion.
    if (form && form->objectName() == name && form->isVisible()) {
      form->show();
      form->raise();
      form->activateWindow();
      return form;
    }
  }
  if (text.isEmpty())
    return nullptr;

  auto *form = new TForm2(mainWindow);
  form->setObjectName(name);
  form->SetText(text);
  form->setWindowTitle(PacketDetailCaption(captionFormat, row));
  form->show();
  // Centred once shown, when the size of the window frame is known.
  if (mainWindow) {
    QRect frame = form->frameGeometry();
    frame.moveCenter(mainWindow->frameGeometry().center());
    form->move(frame.topLeft());
  }
  return form;
}
