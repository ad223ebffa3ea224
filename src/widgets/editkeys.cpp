#include "widgets/editkeys.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>

namespace {

struct TBinding {
  QKeySequence::StandardKey standard;
  TEditKey key;
};

constexpr TBinding kStandard[] = {
    {QKeySequence::SelectAll, TEditKey::SelectAll},
    {QKeySequence::Copy, TEditKey::Copy},
    {QKeySequence::Cut, TEditKey::Cut},
    {QKeySequence::Paste, TEditKey::Paste},
    {QKeySequence::Undo, TEditKey::Undo},
    {QKeySequence::Redo, TEditKey::Redo},
};

struct TChord {
  int key;
  Qt::KeyboardModifiers modifiers;
  TEditKey edit;
};

// The common desktop chords, whatever the platform theme says.
const TChord kChords[] = {
    {Qt::Key_A, Qt::ControlModifier, TEditKey::SelectAll},
    {Qt::Key_C, Qt::ControlModifier, TEditKey::Copy},
    {Qt::Key_Insert, Qt::ControlModifier, TEditKey::Copy},
    {Qt::Key_X, Qt::ControlModifier, TEditKey::Cut},
    {Qt::Key_Delete, Qt::ShiftModifier, TEditKey::Cut},
    {Qt::Key_V, Qt::ControlModifier, TEditKey::Paste},
    {Qt::Key_Insert, Qt::ShiftModifier, TEditKey::Paste},
    {Qt::Key_Z, Qt::ControlModifier, TEditKey::Undo},
    {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, TEditKey::Redo},
    {Qt::Key_Y, Qt::ControlModifier, TEditKey::Redo},
};

} // namespace

TEditKey StandardEditKey(const QKeyEvent *event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  for (const TChord &c : kChords)
    if (event->key() == c.key && modifiers == c.modifiers)
      return c.edit;
  for (const TBinding &b : kStandard)
    if (event->matches(b.standard))
      return b.key;
  return TEditKey::None;
}

bool ApplyEditKey(QLineEdit *edit, TEditKey key, bool editable) {
  switch (key) {
  case TEditKey::None:
    return false;
  case TEditKey::SelectAll:
    edit->selectAll();
    break;
  case TEditKey::Copy:
    edit->copy();
    break;
  case TEditKey::Cut:
    if (editable)
      edit->cut();
    break;
  case TEditKey::Paste:
    if (editable)
      edit->paste();
    break;
  case TEditKey::Undo:
    if (editable)
      edit->undo();
    break;
  case TEditKey::Redo:
    if (editable)
      edit->redo();
    break;
  }
  return true;
}

bool ClaimEditKeyOverride(QEvent *event) {
  if (event->type() != QEvent::ShortcutOverride ||
      StandardEditKey(static_cast<QKeyEvent *>(event)) == TEditKey::None)
    return false;
  event->accept();
  return true;
}
