#pragma once

#include "pipeline/dataobject.h"

#include <QByteArray>
#include <vector>

struct TVexlinDataObjectRegistration {
  TVexlinDataObjectClass doClass;
  QByteArray doSign; // the three-letter token of saved logs
};

// The kinds of data objects, in registration order.
const std::vector<TVexlinDataObjectRegistration> &VexlinDataObjectClasses();

void AddDataObjectClass(TVexlinDataObjectClass AdoClass, const QByteArray &AdoSign);
// First kind whose token equals AdoSign byte for byte.
bool GetDataObjectClass(const QByteArray &AdoSign, TVexlinDataObjectClass &AdoClass);
bool GetDataObjectClass(const char *sign, qsizetype size, TVexlinDataObjectClass &AdoClass);
// First record of exactly AdoClass (a descendant does not match its ancestor).
bool GetDataObjectSign(TVexlinDataObjectClass AdoClass, QByteArray &AdoSign);

// Registers every kind of the program once, in the order of its tokens:
// "bin", "log", "lsi", "s97", "arp", "9bt", "nif", "mbs". Does nothing when
// the registry is filled already. "mbs" is a Modbus frame: the packet text
// with its type ("rtu", "ascii" or "tcp") between the direction and "hex:",
// "rx rtu hex:01 03 00 00 00 02 C4 0B<TAB>ascii:...". A reader from before
// the kind loads such a line as a log row holding its text.
void RegisterVexlinDataObjectClasses();
void ClearDataObjectClasses();

// Tells every registered kind, in order, that the data column of `Sender`
// is now `Width` pixels wide.
void ResizeVirtualTreeAllClasses(TVexlinView &Sender, int Width);
