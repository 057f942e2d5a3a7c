// Conversions between the positions of a choice list in the user interface (index, from 0) and
// the numbers stored for them. `toValue` true maps an index to its stored value, false a stored
// value to its index; whatever is not in the table maps to 0 either way.
#pragma once

#include "KxExport.h"

namespace AVOpt {

// The depth of nested compressed files to scan, clamped to 1..3 (0 becomes 1).
KXCOMMON_API unsigned long CheckScanLevel(unsigned long level);
// File types to scan: 0 <-> 7, 1 <-> 3, 2 <-> 0x7FFFFFFF (all files).
KXCOMMON_API unsigned long ConvertBetweenIndexAndFT(unsigned long value, bool toValue);
// Real-time scan option: 0 <-> 1, 1 <-> 2.
KXCOMMON_API unsigned long ConvertBetweenIndexAndRTOpt(unsigned long value, bool toValue);

}  // namespace AVOpt

namespace SUOpt {

// Automatic update frequency in days: 0 <-> 1, 1 <-> 7, 2 <-> 14, 3 <-> 30.
KXCOMMON_API unsigned long ConvertBetweenIndexAndFrequency(unsigned long value, bool toValue);

}  // namespace SUOpt
