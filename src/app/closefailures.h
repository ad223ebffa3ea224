#pragma once

#include <QStringList>

// What could not be saved when the program was ended by a signal, with no
// one to click a message box: kept in the user's settings (beside the last
// connection, since config.xml may be what failed) for the next start to show.
void RememberCloseFailures(const QStringList &failures);
// The failures an earlier run left, once: they are forgotten as they are read.
QStringList TakeCloseFailures();
