#include "app/statusprogress.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

namespace {

// The bar counts in thousandths: QProgressBar counts in int, files in qint64.
constexpr int kSteps = 1000;

} // namespace

TStatusProgress::TStatusProgress(QWidget *bar) : QWidget(bar) {
  setObjectName(QStringLiteral("StatusProgress"));
  // The panels drawn below must not show through.
  setAutoFillBackground(true);
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 0, 2, 0);
  layout->setSpacing(4);
  fCaption = new QLabel(this);
  fCaption->setObjectName(QStringLiteral("lblStatusProgress"));
  fBar = new QProgressBar(this);
  fBar->setObjectName(QStringLiteral("pbStatusProgress"));
  fBar->setFixedSize(120, 14);
  fBar->setRange(0, kSteps);
  fBar->setTextVisible(false);
  fCancel = new QToolButton(this);
  fCancel->setObjectName(QStringLiteral("btnStatusProgressCancel"));
  fCancel->setAutoRaise(true);
  layout->addWidget(fCaption);
  layout->addWidget(fBar);
  layout->addWidget(fCancel);
  connect(fCancel, &QToolButton::clicked, this, &TStatusProgress::cancelRequested);
  bar->installEventFilter(this);
  hide();
}

bool TStatusProgress::eventFilter(QObject *watched, QEvent *event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
    Place();
  return QWidget::eventFilter(watched, event);
}

void TStatusProgress::Place() {
  const QWidget *bar = parentWidget();
  const int width = std::min(sizeHint().width(), bar->width());
  setGeometry(bar->width() - width, 0, width, bar->height());
}

void TStatusProgress::Start(const QString &caption, const QString &cancelText) {
  fCaption->setText(caption);
  fCancel->setText(cancelText);
  fBar->setRange(0, kSteps);
  fBar->setValue(0);
  Place();
  show();
  raise();
}

void TStatusProgress::SetProgress(qint64 done, qint64 total) {
  if (total <= 0) {
    fBar->setRange(0, 0);
    return;
  }
  fBar->setRange(0, kSteps);
  fBar->setValue(static_cast<int>(qBound<qint64>(0, done, total) * kSteps / total));
}

void TStatusProgress::Finish() {
  hide();
}

QString TStatusProgress::Caption() const {
  return fCaption->text();
}
