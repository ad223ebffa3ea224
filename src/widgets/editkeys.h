#pragma once

// The desktop's editing keys in every edit box of the program: select all,
// copy, cut, paste, undo and redo. Taken from the key itself as well as
// from the platform's bindings, so that a key theme that gives Ctrl+A to
// "start of line" (Emacs style) cannot make Ctrl+A type over an old command.

class QEvent;
class QKeyEvent;
class QLineEdit;

enum class TEditKey { None, SelectAll, Copy, Cut, Paste, Undo, Redo };

TEditKey StandardEditKey(const QKeyEvent *event);

// Runs `key` on `edit`; cut, paste, undo and redo only when `editable`.
// False for TEditKey::None.
bool ApplyEditKey(QLineEdit *edit, TEditKey key, bool editable);

// For an edit's event(): claims the editing keys before any shortcut of the
// window sees them. True when `event` is such a key's shortcut override.
bool ClaimEditKeyOverride(QEvent *event);
