#pragma once

#include <QString>

// Values of the program's version table, compiled in from the build's
// project version: "FileVersion", "ProductVersion", "ProductName",
// "CompanyName", "FileDescription", "InternalName", "OriginalFilename",
// "LegalCopyright". An unknown key gives "".
QString GetVersionInfo(const QString &key);

// GetVersionInfo("FileVersion"), for example "0.1.0.0".
QString GetFileVersion();
