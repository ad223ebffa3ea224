#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QFileDevice;

// Whole files in and out where the environment may be hostile or unlucky: a
// data file replaced by a device, a FIFO or a huge file, a disk that fills up
// half-way through a save.

// Reads all of `fileName` into `bytes` when it is a regular file (a link to
// one is followed) of at most `maxBytes` bytes. Anything else is refused
// without reading: devices and FIFOs could block or never end. False, with
// the reason in `error` (when given) and `bytes` empty, otherwise.
bool ReadRegularFile(const QString &fileName, qint64 maxBytes, QByteArray &bytes,
                     QString *error = nullptr);

// Writes all of `bytes` to `file` and hands them to the system, retrying
// after a short write, so that a failure carries the system's reason ("No
// space left on device") instead of a bare short count. False, with that
// reason in `error` (when given), when any byte could not be written.
bool WriteAll(QFileDevice &file, QByteArrayView bytes, QString *error = nullptr);

// The one form of a message about a file that could not be read or written:
// the file's name, then the reason. The readers here already name the file
// in their reasons ("The file \"a.xml\" does not exist.", "a.xml: Premature
// end of data"); such a reason is taken as it is, so no message names its
// file twice.
QString FileErrorText(const QString &fileName, const QString &reason);
