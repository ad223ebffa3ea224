#pragma once

#include <cstddef>

class TVexlinDataObject;

// About what one row of a list holds in memory: its node, its object and the
// bytes or text it shows. Cheap enough to count every row as it comes.
size_t RowMemory(const TVexlinDataObject &row);
