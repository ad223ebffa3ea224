#pragma once

#include <QString>

// A DevovAVO packet: data, "#", the sum of data's character codes modulo 256
// as two upper-case hexadecimal digits, and a carriage return.
// "@20*160120" gives "@20*160120#F6\r".
QString DevovAVO_EncodePacket(const QString &data);
