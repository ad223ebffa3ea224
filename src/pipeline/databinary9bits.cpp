#include "pipeline/databinary9bits.h"
