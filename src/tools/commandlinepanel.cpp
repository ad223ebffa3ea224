#include "tools/commandlinepanel.h"

#include "base/pterror.h"
#include "tools/cmdline.h"
#include "tools/cmdlinehistorykeys.h"
#include "tools/repeater.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>

namespace {

constexpr int kRowHeight = 30;

// A button of the designed width, wider when its caption needs it: the
// design's font was smaller, and other languages have longer words.
class TCaptionButton : public QPushButton {
public:
  TCaptionButton(const QString &caption, int width, QWidget *parent)
      : QPushButton(caption, parent), fWidth(width) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override {
    const QStyle *s = style();
    const int margins = s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this) +
                        2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    return {qMax(fWidth, fontMetrics().size(Qt::TextShowMnemonic, text()).width() + margins), 25};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

private:
  int fWidth;
};

QPushButton *MakeButton(const char *name, const QString &caption, int width, QWidget *parent) {
  auto *button = new TCaptionButton(caption, width, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

} // namespace

TCommandLinePanel::TCommandLinePanel(TMessageSink &sink, QWidget *parent)
    : QWidget(parent), fSink(sink), edtCommandLine(new TPelmarCmdLine(this)),
      cbCR(new QCheckBox(QStringLiteral("+<CR>"), this)),
      bSend(MakeButton("bSend", QStringLiteral("Odeslat"), 52, this)),
      bClear(MakeButton("bClear", QStringLiteral("Smazat"), 51, this)),
      bMoveUp(MakeButton("bMoveUp", QStringLiteral("MoveUp"), 51, this)),
      fHistoryKeys(new TCmdLineHistoryKeys(edtCommandLine)) {
  setObjectName(QStringLiteral("frame1"));
  setFixedHeight(kRowHeight);
  edtCommandLine->setObjectName(QStringLiteral("edtCommandLine"));
  QFont font = edtCommandLine->font();
  font.setPointSize(10);
  font.setBold(true);
  edtCommandLine->setFont(font);
  edtCommandLine->setToolTip(
      QStringLiteral("Šipky nahoru a dolů: odeslané příkazy, %1: hledat v nich")
          .arg(TCmdLineHistoryKeys::SearchKey().toString(QKeySequence::NativeText)));
  cbCR->setObjectName(QStringLiteral("cbCR"));
  cbCR->setChecked(true);
  // The caption stands left of the box.
  cbCR->setLayoutDirection(Qt::RightToLeft);

  // Right to left: MoveUp at the edge, Smazat and Odeslat 2 px apart, the
  // check box 6 px before them and the command line taking the rest.
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(edtCommandLine, 1);
  row->addSpacing(6);
  row->addWidget(cbCR);
  row->addSpacing(6);
  row->addWidget(bSend);
  row->addSpacing(2);
  row->addWidget(bClear);
  row->addSpacing(2);
  row->addWidget(bMoveUp);

  connect(edtCommandLine, &QLineEdit::textChanged, this, &TCommandLinePanel::edtCommandLineChange);
  connect(edtCommandLine, &QLineEdit::textEdited, this, &TCommandLinePanel::ShowTypingHint);
  connect(cbCR, &QCheckBox::toggled, this, &TCommandLinePanel::edtCommandLineChange);
  connect(edtCommandLine, &TPelmarCmdLine::EnterPressed, this, &TCommandLinePanel::bSendClick);
  connect(bSend, &QPushButton::clicked, this, &TCommandLinePanel::bSendClick);

  // What is sent always matches what is shown, even before the first edit.
  edtCommandLineChange();
}

QString TCommandLinePanel::Command() const {
  return edtCommandLine->text();
}

void TCommandLinePanel::SetCommand(const QString &text) {
  edtCommandLine->setText(text);
}

bool TCommandLinePanel::AppendCR() const {
  return cbCR->isChecked();
}

void TCommandLinePanel::SetAppendCR(bool on) {
  cbCR->setChecked(on);
}

void TCommandLinePanel::AttachRepeater(TRepeaterGroup *repeater) {
  // Each tick sends the last bytes that converted; a message box per tick
  // would stop the user from mending the text.
  connect(repeater, &TRepeaterGroup::RepeatTick, this,
          [this] { emit sendRequested(fSendPacketPrepared); });
}

void TCommandLinePanel::bSendClick() {
  if (!fCommandError.isEmpty()) {
    fSink.ShowError(edtCommandLine, QGuiApplication::applicationDisplayName(), fCommandError);
    return;
  }
  emit sendRequested(fSendPacketPrepared);
  // The repeater's ticks are no commands of the user's: only these count.
  fHistoryKeys->Record(edtCommandLine->text());
}

void TCommandLinePanel::edtCommandLineChange() {
  try {
    fSendPacketPrepared = PrepareCommandBytes(edtCommandLine->text(), cbCR->isChecked());
    fCommandError.clear();
  } catch (const EPtError &error) {
    // The last good bytes stay prepared. Any conversion error is kept, not
    // only the missing brace: none may escape an event handler.
    fCommandError = error.Message();
  }
}

void TCommandLinePanel::ShowTypingHint() {
  // The edit reports the user's edit before the change of its text: convert
  // here, not wait for the change.
  edtCommandLineChange();
  if (!fCommandError.isEmpty()) {
    fSink.ShowBalloon(edtCommandLine, InputErrorTitle(), fCommandError);
    fHintShown = true;
  } else if (fHintShown) {
    fSink.ShowBalloon(edtCommandLine, QString(), QString());
    fHintShown = false;
  }
}
