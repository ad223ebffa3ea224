#pragma once

#include "base/datetime.h"

#include <QString>

// The time column's text: "hh:mm:ss.zzz" of |time - reference|, only the time
// of day (a difference of 24 hours or more wraps); empty when `time` is 0.
QString TimeCellText(TDateTime time, TDateTime reference);
