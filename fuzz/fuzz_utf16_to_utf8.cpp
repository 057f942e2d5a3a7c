// UTF-16 to UTF-8 in both byte orders with an output of arbitrary room: the counts stay within
// the buffers, input is consumed in whole units, and what was converted goes back to the very
// units consumed (lone surrogates included).
#include <kxcommon/UTFConvert.h>

#include "FuzzCheck.h"

#include <cstring>
#include <vector>

namespace {

void Check(bool big, const uint8_t* data, size_t size, size_t room) {
    unsigned char* out = new unsigned char[room + 1];
    int written = static_cast<int>(room);
    int consumed = static_cast<int>(size);
    const int result = (big ? UTF16BEToUTF8 : UTF16LEToUTF8)(out, &written, data, &consumed);
    KX_FUZZ_CHECK(result == 0 || result == -2);
    KX_FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= room);
    KX_FUZZ_CHECK(consumed >= 0 && static_cast<size_t>(consumed) <= size);
    KX_FUZZ_CHECK(consumed % 2 == 0);
    // A clean stop before the end is for lack of room or a pair cut off by the end.
    KX_FUZZ_CHECK(result != 0 || size - consumed < 4 || room - written < 6);

    std::vector<unsigned char> back(static_cast<size_t>(consumed) + 2);
    int backWritten = static_cast<int>(back.size());
    int backConsumed = written;
    const int backResult =
        (big ? UTF8ToUTF16BE : UTF8ToUTF16LE)(back.data(), &backWritten, out, &backConsumed);
    KX_FUZZ_CHECK(backResult == 0);
    KX_FUZZ_CHECK(backConsumed == written);
    KX_FUZZ_CHECK(backWritten == consumed);
    KX_FUZZ_CHECK(consumed == 0 || std::memcmp(back.data(), data, consumed) == 0);
    delete[] out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckBothByteOrders(data, size, Check);
    return 0;
}
