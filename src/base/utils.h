#pragma once

#include "base/datetime.h"

#include <QString>
#include <cstdint>

class TXmlElement;

// An attribute's value, or `defaultValue` when the element is null or lacks
// the attribute; an attribute that is present but empty gives "".
// `convertDecimalSeparator` is accepted for compatibility; every caller passes
// false and values come back as written.
QString GetAttribute(const TXmlElement *element, const QString &name, const QString &defaultValue,
                     bool convertDecimalSeparator = false);

class TXmlDocument;
// Loads and parses an XML file; false for a missing file, a parse error or any
// other error. Never raises.
bool LoadXMLDoc(const QString &fileName, TXmlDocument &doc);

// Reads a saved-log time stamp such as "2013-05-07 14:03:59" (see the
// implementation for the accepted forms). An impossible date or time (month
// 13, hour 25) gives false when `suppressErrors` is set and raises EPtError
// otherwise. Any other unreadable text gives false; `result` is only written
// on success.
bool IsoDateTimeToDateTime(const QString &text, TDateTime &result, bool suppressErrors);

// True when `text` is a decimal integer from 0 to 65535: ASCII digits only,
// no sign and no spaces; `value` is left alone otherwise.
bool TryStrToWord(const QString &text, uint16_t &value);

// The eight bits of `b`, most significant first, a space after the fourth:
// 0x41 gives "0100 0001".
QString IntToBin(uint8_t b);
