#pragma once

#include <QList>

class QWidget;

// Enables (Status true) or disables every widget of the list. Text fields,
// combo boxes and spin fields also get a white background when enabled and
// the button colour when disabled, so a disabled input reads as inactive.
// Null entries are skipped.
void EnDis(const QList<QWidget *> &Components, bool Status);
