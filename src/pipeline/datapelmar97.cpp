#include "pipeline/datapelmar97.h"
