#pragma once

// Keyboard helpers for widget tests: real events sent to real
// widgets, without the QtTest library.

#include "waitfor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

inline void PressKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString &text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::sendEvent(widget, &release);
  if (modifiers != Qt::NoModifier) {
    // Unlike a real key release, a sent one does not clear the application's
    // modifier state (read when an arrow button is clicked); a key press
    // without modifiers does, and an unknown key changes nothing in the widget.
    QKeyEvent reset(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &reset);
  }
}

// Types each character as a key press carrying that text.
inline void TypeText(QWidget *widget, const QString &text) {
  for (QChar c : text) {
    const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
    PressKey(widget, key, Qt::NoModifier, QString(c));
  }
}

inline void PressEnter(QWidget *widget) {
  PressKey(widget, Qt::Key_Return, Qt::NoModifier, "\r");
}
