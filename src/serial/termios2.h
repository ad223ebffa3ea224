#pragma once

#include "serial/linesettings.h"

// termios2 access, for baud rates outside the standard table. Kept apart
// because the kernel's termios headers clash with the C library's.

// Puts the tty into raw mode with `line`'s settings; false when refused.
bool AfApplyLineSettings(int fd, const TAfLineSettings &line);
// What the tty holds now.
bool AfReadLineSettings(int fd, TAfLineSettings &line);
