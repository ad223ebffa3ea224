#pragma once

// "pt.responder.xml": the responder's rules and its Modbus device, kept in
// the data folder.

#include "pipeline/modbusdevice.h"
#include "pipeline/responderrules.h"

#include <QString>
#include <vector>

inline constexpr const char *cResponderFileName = "pt.responder.xml";
inline constexpr const char *cXmlnsResponder = "http://www.pelmar.cz/xml/2026/responder";
// Beyond this many rules (or table entries) a file is taken as damaged, not
// as a list to test every packet against.
inline constexpr int kResponderMaxRules = 100'000;

struct TResponderSettings {
  std::vector<TResponderRule> rules;
  TModbusDevice device;
  bool operator==(const TResponderSettings &) const = default;
};

// Reads a file; false, with the reason, when it cannot be read (missing,
// not well-formed, a document type, too large, not a regular file, not a
// responder file). A missing file is `missing`, so callers can start empty.
bool LoadResponderFile(const QString &fileName, TResponderSettings &settings, QString &error,
                       bool *missing = nullptr);
// Writes through a temporary file and a rename; false, with the reason.
bool SaveResponderFile(const QString &fileName, const TResponderSettings &settings, QString &error);
