#include "kxcommon/Options.h"

#include <cstddef>

namespace {

struct Row {
    unsigned long index;
    unsigned long value;
};

constexpr Row kFileTypes[] = {{0, 7}, {1, 3}, {2, 0x7FFFFFFF}};
constexpr Row kRealTimeOptions[] = {{0, 1}, {1, 2}};
constexpr Row kUpdateFrequencies[] = {{0, 1}, {1, 7}, {2, 14}, {3, 30}};

constexpr unsigned long kMinScanLevel = 1;
constexpr unsigned long kMaxScanLevel = 3;

template <size_t N>
unsigned long Convert(const Row (&table)[N], unsigned long value, bool toValue) {
    for (const Row& row : table) {
        if (toValue && row.index == value) return row.value;
        if (!toValue && row.value == value) return row.index;
    }
    return 0;
}

}  // namespace

namespace AVOpt {

unsigned long CheckScanLevel(unsigned long level) {
    if (level < kMinScanLevel) return kMinScanLevel;
    return level > kMaxScanLevel ? kMaxScanLevel : level;
}

unsigned long ConvertBetweenIndexAndFT(unsigned long value, bool toValue) {
    return Convert(kFileTypes, value, toValue);
}

unsigned long ConvertBetweenIndexAndRTOpt(unsigned long value, bool toValue) {
    return Convert(kRealTimeOptions, value, toValue);
}

}  // namespace AVOpt

namespace SUOpt {

unsigned long ConvertBetweenIndexAndFrequency(unsigned long value, bool toValue) {
    return Convert(kUpdateFrequencies, value, toValue);
}

}  // namespace SUOpt
