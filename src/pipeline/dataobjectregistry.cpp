#include "pipeline/dataobjectregistry.h"

#include "pipeline/databinary.h"
#include "pipeline/databinary9bits.h"
#include "pipeline/datalog.h"
#include "pipeline/datamodbus.h"
#include "pipeline/datanetitems.h"
#include "pipeline/datapelmar97.h"

#include <cstring>

namespace {

// Written only at start and end, when no other thread runs; read without a lock.
std::vector<TVexlinDataObjectRegistration> &Registry() {
  static std::vector<TVexlinDataObjectRegistration> registry;
  return registry;
}

} // namespace

const std::vector<TVexlinDataObjectRegistration> &VexlinDataObjectClasses() {
  return Registry();
}

void AddDataObjectClass(TVexlinDataObjectClass AdoClass, const QByteArray &AdoSign) {
  Registry().push_back({AdoClass, AdoSign});
}

bool GetDataObjectClass(const char *sign, qsizetype size, TVexlinDataObjectClass &AdoClass) {
  for (const auto &r : Registry()) {
    if (r.doSign.size() == size && std::memcmp(r.doSign.constData(), sign, size) == 0) {
      AdoClass = r.doClass;
      return true;
    }
  }
  return false;
}

bool GetDataObjectClass(const QByteArray &AdoSign, TVexlinDataObjectClass &AdoClass) {
  return GetDataObjectClass(AdoSign.constData(), AdoSign.size(), AdoClass);
}

bool GetDataObjectSign(TVexlinDataObjectClass AdoClass, QByteArray &AdoSign) {
  for (const auto &r : Registry()) {
    if (r.doClass == AdoClass) {
      AdoSign = r.doSign;
      return true;
    }
  }
  return false;
}

void RegisterVexlinDataObjectClasses() {
  if (!Registry().empty())
    return;
  AddDataObjectClass(ClassOf<TVexlinDataBinary>(), "bin");
  AddDataObjectClass(ClassOf<TVexlinDataLog>(), "log");
  AddDataObjectClass(ClassOf<TVexlinDataLantronixScanItem>(), "lsi");
  AddDataObjectClass(ClassOf<TVexlinDataBinary_Pelmar97>(), "s97");
  AddDataObjectClass(ClassOf<TVexlinDataArpTableItem>(), "arp");
  AddDataObjectClass(ClassOf<TVexlinDataBinary9Bits>(), "9bt");
  AddDataObjectClass(ClassOf<TVexlinDataNetInterface>(), "nif");
  AddDataObjectClass(ClassOf<TVexlinDataBinary_Modbus>(), "mbs");
}

void ClearDataObjectClasses() {
  Registry().clear();
}

void ResizeVirtualTreeAllClasses(TVexlinView &Sender, int Width) {
  for (const auto &r : Registry())
    r.doClass->ResizeVirtualTree(Sender, Width);
}
