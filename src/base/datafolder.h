#pragma once

#include <QString>

// The data folder: "pt.files/" beside the executable, where the shipped style
// sheets and the user's presets, command table and language files live. The
// environment variable PT_DATA_DIR points it elsewhere (running from a source
// tree, tests). The result always ends in '/'.
QString PathPtFiles();
