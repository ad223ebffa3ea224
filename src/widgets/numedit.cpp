#include "widgets/numedit.h"

#include "widgets/editkeys.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QToolButton>
#include <QWheelEvent>
#include <limits>

namespace {

constexpr int kArrowWidth = 16;
constexpr int kWheelNotch = 120;

int DigitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  return -1;
}

qsizetype SkipSpaces(const QString &text, qsizetype i) {
  while (i < text.size() && text.at(i) == u' ')
    ++i;
  return i;
}

// An optional sign at `i`, stepped over; true for "-".
bool ReadSign(const QString &text, qsizetype &i) {
  if (i >= text.size() || (text.at(i) != u'-' && text.at(i) != u'+'))
    return false;
  return text.at(i++) == u'-';
}

} // namespace

bool ParseIntText(const QString &text, int &value) {
  const qsizetype n = text.size();
  qsizetype i = SkipSpaces(text, 0);
  const bool negative = ReadSign(text, i);
  int base = 10;
  if (i < n && text.at(i) == u'$') {
    base = 16;
    ++i;
  } else if (i < n && (text.at(i) == u'x' || text.at(i) == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text.at(i) == u'0' &&
             (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
    base = 16;
    i += 2;
  }
  if (i >= n)
    return false;
  // One above INT_MAX so that INT_MIN itself still parses.
  constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
  qint64 acc = 0;
  for (; i < n; ++i) {
    const int d = DigitValue(text.at(i));
    if (d < 0 || d >= base)
      return false;
    acc = acc * base + d;
    if (acc > limit)
      return false;
  }
  if (negative)
    acc = -acc;
  if (acc > std::numeric_limits<int>::max())
    return false;
  value = int(acc);
  return true;
}

qint64 LeadingIntText(const QString &text) {
  const qsizetype n = text.size();
  qsizetype i = SkipSpaces(text, 0);
  const bool negative = ReadSign(text, i);
  // Saturates far beyond the 32-bit range; callers clamp anyway.
  constexpr qint64 cap = qint64(1) << 40;
  qint64 acc = 0;
  for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
    acc = qMin(cap, acc * 10 + (text.at(i).unicode() - '0'));
  return negative ? -acc : acc;
}

// ---------------------------------------------------------------------------

TNumEditUpDown::TNumEditUpDown(QWidget *parent)
    : QWidget(parent), fUp(new QToolButton(this)), fDown(new QToolButton(this)) {
  fUp->setObjectName(QStringLiteral("btnUp"));
  fDown->setObjectName(QStringLiteral("btnDown"));
  fUp->setArrowType(Qt::UpArrow);
  fDown->setArrowType(Qt::DownArrow);
  for (QToolButton *button : {fUp, fDown}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
  }
  connect(fUp, &QToolButton::clicked, this, [this] { emit Clicked(TNumEditButton::Up); });
  connect(fDown, &QToolButton::clicked, this, [this] { emit Clicked(TNumEditButton::Down); });
}

void TNumEditUpDown::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  const int upHeight = height() / 2;
  fUp->setGeometry(0, 0, width(), upHeight);
  fDown->setGeometry(0, upHeight, width(), height() - upHeight);
}

// ---------------------------------------------------------------------------

TMyCustomNumEdit::TMyCustomNumEdit(QWidget *parent)
    : QLineEdit(parent), FUpDown(new TNumEditUpDown(this)) {
  FUpDown->setObjectName(QStringLiteral("FUpDown"));
  // Keep the text clear of the arrows.
  setTextMargins(0, 0, kArrowWidth + 2, 0);
  // Dropped text would bypass the key filter.
  setAcceptDrops(false);
  connect(FUpDown, &TNumEditUpDown::Clicked, this, &TMyCustomNumEdit::ButtonClick);
  connect(this, &QLineEdit::textChanged, this, [this] {
    UpdateTextColour();
    emit Change();
  });
  Realign();
}

void TMyCustomNumEdit::SetUpDownEnable(bool value) {
  FUpDownEnable = value;
  FUpDown->setEnabled(value);
}

void TMyCustomNumEdit::SetColored(bool value) {
  FColored = value;
  UpdateTextColour();
}

void TMyCustomNumEdit::MultiButtonClick(TNumEditButton, bool, bool) {}

void TMyCustomNumEdit::ToString() {
  clear();
}

bool TMyCustomNumEdit::IsValid() {
  return true;
}

void TMyCustomNumEdit::Fail() {
  if (FFailureBeep)
    QApplication::beep();
}

void TMyCustomNumEdit::ButtonClick(TNumEditButton button) {
  if (isReadOnly())
    return;
  MultiButtonClick(button, false,
                   QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
  if ((focusPolicy() & Qt::TabFocus) && isEnabled() && isVisible())
    setFocus(Qt::MouseFocusReason);
}

void TMyCustomNumEdit::keyPressEvent(QKeyEvent *event) {
  const bool fast = event->modifiers().testFlag(Qt::ControlModifier);
  const auto step = [&](TNumEditButton button, bool page) {
    if (!isReadOnly())
      MultiButtonClick(button, page, fast);
    event->accept();
  };
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    IsValid();
    event->accept();
    return;
  case Qt::Key_Up:
    return step(TNumEditButton::Up, false);
  case Qt::Key_Down:
    return step(TNumEditButton::Down, false);
  case Qt::Key_PageUp:
    return step(TNumEditButton::Up, true);
  case Qt::Key_PageDown:
    return step(TNumEditButton::Down, true);
  default:
    break;
  }
  // Cut and paste only where the editor is enabled.
  if (ApplyEditKey(this, StandardEditKey(event), EditingAllowed())) {
    event->accept();
    return;
  }
  // Printable characters other than digits and "-" never reach the text;
  // control keys (Backspace, Delete, navigation, shortcuts) work as usual.
  const QString typed = event->text();
  if (!typed.isEmpty() && typed.at(0).isPrint()) {
    for (QChar c : typed) {
      if (!(c == u'-' || (c >= u'0' && c <= u'9'))) {
        event->accept();
        return;
      }
    }
  }
  QLineEdit::keyPressEvent(event);
}

bool TMyCustomNumEdit::event(QEvent *event) {
  return ClaimEditKeyOverride(event) || QLineEdit::event(event);
}

void TMyCustomNumEdit::wheelEvent(QWheelEvent *event) {
  // Only a focused box steps, so scrolling a panel never changes settings.
  if (!hasFocus() || isReadOnly()) {
    QLineEdit::wheelEvent(event);
    return;
  }
  const bool fast = event->modifiers().testFlag(Qt::ControlModifier);
  fWheelRest += event->angleDelta().y();
  while (fWheelRest >= kWheelNotch) {
    fWheelRest -= kWheelNotch;
    MultiButtonClick(TNumEditButton::Up, false, fast);
  }
  while (fWheelRest <= -kWheelNotch) {
    fWheelRest += kWheelNotch;
    MultiButtonClick(TNumEditButton::Down, false, fast);
  }
  event->accept();
}

void TMyCustomNumEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  const bool byKeyboard =
      event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  if (byKeyboard) {
    if (FAutoSelect)
      selectAll();
    else
      deselect();
  }
}

void TMyCustomNumEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  // A context menu or another window taking the focus is not leaving the box.
  if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
    IsValid();
}

void TMyCustomNumEdit::resizeEvent(QResizeEvent *event) {
  QLineEdit::resizeEvent(event);
  Realign();
}

void TMyCustomNumEdit::contextMenuEvent(QContextMenuEvent *event) {
  QMenu *menu = createStandardContextMenu();
  if (!EditingAllowed()) {
    for (QAction *action : menu->actions()) {
      if (action->objectName() == QLatin1String("edit-paste") ||
          action->objectName() == QLatin1String("edit-cut"))
        action->setEnabled(false);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TMyCustomNumEdit::changeEvent(QEvent *event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
    Realign();
}

void TMyCustomNumEdit::Realign() {
  // The arrows sit at the right edge, inside the frame.
  FUpDown->setGeometry(width() - kArrowWidth - 1, 1, kArrowWidth, qMax(0, height() - 2));
}

void TMyCustomNumEdit::UpdateTextColour() {
  const bool negative = FColored && text().trimmed().startsWith(u'-');
  if (negative == fShowingRed)
    return;
  fShowingRed = negative;
  QPalette p = palette();
  p.setColor(QPalette::Text,
             negative ? QColor(Qt::red) : QApplication::palette(this).color(QPalette::Text));
  setPalette(p);
}

// ---------------------------------------------------------------------------

TIntEdit::TIntEdit(QWidget *parent) : TMyCustomNumEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, [this] { emit valueChanged(GetValue()); });
  ToString();
}

int TIntEdit::GetValue() const {
  int value = 0;
  return ParseIntText(text(), value) ? value : 0;
}

int TIntEdit::CheckMinMax(qint64 V) const {
  return int(qBound(qint64(FMinValue), V, qint64(FMaxValue)));
}

void TIntEdit::SetValue(int V) {
  FValue = CheckMinMax(V);
  ToString();
}

void TIntEdit::SetMinValue(int V) {
  FMinValue = qMin(V, FMaxValue);
  SetValue(FValue);
}

void TIntEdit::SetMaxValue(int V) {
  FMaxValue = qMax(V, FMinValue);
  SetValue(FValue);
}

void TIntEdit::SetIncrement(int V) {
  if (V > 0)
    fIncrement = V;
}

void TIntEdit::ToString() {
  setText(QString::number(FValue));
}

void TIntEdit::MultiButtonClick(TNumEditButton Button, bool Page, bool Fast) {
  int typed = 0;
  SetValue(ParseIntText(text(), typed) ? typed : FValue);
  qint64 factor = Fast ? 10 : 1;
  if (Page)
    factor *= FMult;
  // 64-bit arithmetic: a large increment times the page must not overflow.
  const qint64 delta = factor * fIncrement;
  SetValue(CheckMinMax(qint64(FValue) + (Button == TNumEditButton::Up ? delta : -delta)));
}

bool TIntEdit::IsValid() {
  int typed = 0;
  const bool isInteger = ParseIntText(text(), typed);
  const qint64 wanted = isInteger ? typed : LeadingIntText(text());
  if (isInteger && wanted >= FMinValue && wanted <= FMaxValue) {
    SetValue(typed);
    return true;
  }
  Fail();
  if (!AutoCorrect()) {
    ToString();
    return false;
  }
  SetValue(CheckMinMax(wanted));
  return true;
}
