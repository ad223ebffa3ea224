#pragma once

#include <QString>
#include <cstdint>

// Values of the program's version table, compiled in from the build's
// project version: "FileVersion", "ProductVersion", "ProductName",
// "CompanyName", "FileDescription", "InternalName", "OriginalFilename",
// "LegalCopyright". An unknown key gives "".
QString GetVersionInfo(const QString &key);

// GetVersionInfo("FileVersion"), for example "0.1.0.0".
QString GetFileVersion();

// The four numbers of a product version.
struct TFileVersion {
  uint16_t Major = 0, Minor = 0, Release = 0, Build = 0;
};

// The product version of `fileName`; the program itself when the name is
// empty or names the running executable. Only the program carries a version
// table, so any other file gives false.
bool GetVersion(TFileVersion &version, const QString &fileName = QString());
// GetVersion's numbers as "1.2.3.4", "" when it fails.
QString GetVersionToStr(const QString &fileName = QString());
