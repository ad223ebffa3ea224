#include "tools/cmdline.h"

#include "base/ansicodepage.h"
#include "codecs/commandtext.h"
#include "widgets/editkeys.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextCharFormat>

QList<TTextRange> BraceGroupRanges(const QString &text) {
  QList<TTextRange> ranges;
  qsizetype start = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (start < 0 && text.at(i) == u'{') {
      start = i;
    } else if (start >= 0 && text.at(i) == u'}') {
      ranges.append({start, i - start + 1});
      start = -1;
    }
  }
  if (start >= 0)
    ranges.append({start, text.size() - start});
  return ranges;
}

QByteArray PrepareCommandBytes(const QString &text, bool appendCR) {
  QByteArray bytes = ConvertToBinnaryEx(AnsiFromText(text), true);
  if (appendCR)
    bytes.append('\r');
  return bytes;
}

TPelmarCmdLine::TPelmarCmdLine(QWidget *parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, &TPelmarCmdLine::ApplyGroupColours);
}

void TPelmarCmdLine::ApplyGroupColours() {
  // The edit box takes text formats only through an input method event; its
  // positions count from the caret. Formats stay until the next such event,
  // so every text change sends a fresh set (an empty set clears them).
  QTextCharFormat blue;
  blue.setForeground(GroupColour());
  QList<QInputMethodEvent::Attribute> attributes;
  const qsizetype caret = cursorPosition();
  for (const TTextRange &range : BraceGroupRanges(text()))
    attributes.append(QInputMethodEvent::Attribute(
        QInputMethodEvent::TextFormat, int(range.start - caret), int(range.length), blue));
  QInputMethodEvent event(QString(), attributes);
  QCoreApplication::sendEvent(this, &event);
}

void TPelmarCmdLine::InsertBracePair() {
  // Inserted at the selection start; a selection is kept, not replaced.
  const int pos = hasSelectedText() ? selectionStart() : cursorPosition();
  deselect();
  setCursorPosition(pos);
  insert(QStringLiteral("{}"));
  setCursorPosition(pos + 1);
}

bool TPelmarCmdLine::SkipClosingBrace() {
  const int pos = hasSelectedText() ? selectionStart() : cursorPosition();
  if (pos >= text().size() || text().at(pos) != u'}')
    return false;
  setCursorPosition(pos + 1);
  return true;
}

bool TPelmarCmdLine::event(QEvent *event) {
  return ClaimEditKeyOverride(event) || QLineEdit::event(event);
}

void TPelmarCmdLine::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    emit EnterPressed();
    return;
  }
  if (ApplyEditKey(this, StandardEditKey(event), !isReadOnly())) {
    event->accept();
    return;
  }
  if (!isReadOnly()) {
    const QString typed = event->text();
    if (typed == QLatin1String("{")) {
      InsertBracePair();
      event->accept();
      return;
    }
    if (typed == QLatin1String("}") && SkipClosingBrace()) {
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}
