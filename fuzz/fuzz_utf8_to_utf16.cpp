// UTF-8 to UTF-16 in both byte orders with an output of arbitrary room: the counts stay within
// the buffers, whole units only are written, and the units written survive the way back.
#include <kxcommon/UTFConvert.h>

#include "FuzzCheck.h"

#include <cstring>
#include <vector>

namespace {

void Check(bool big, const uint8_t* data, size_t size, size_t room) {
    unsigned char* out = new unsigned char[room + 1];
    int written = static_cast<int>(room);
    int consumed = static_cast<int>(size);
    const int result = (big ? UTF8ToUTF16BE : UTF8ToUTF16LE)(out, &written, data, &consumed);
    KX_FUZZ_CHECK(result == 0 || result == -2);
    KX_FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= room);
    KX_FUZZ_CHECK(written % 2 == 0);
    KX_FUZZ_CHECK(consumed >= 0 && static_cast<size_t>(consumed) <= size);
    KX_FUZZ_CHECK(written <= 2 * consumed);

    // Back to UTF-8 and again to UTF-16 gives the same units, unless they hold a surrogate
    // without its partner (which the way back refuses or waits on).
    std::vector<unsigned char> utf8(static_cast<size_t>(written) * 2 + 6);
    int utf8Written = static_cast<int>(utf8.size());
    int unitsConsumed = written;
    const int backResult =
        (big ? UTF16BEToUTF8 : UTF16LEToUTF8)(utf8.data(), &utf8Written, out, &unitsConsumed);
    KX_FUZZ_CHECK(backResult == 0 || backResult == -2);
    if (backResult == 0 && unitsConsumed == written) {
        std::vector<unsigned char> again(static_cast<size_t>(written) + 2);
        int againWritten = static_cast<int>(again.size());
        int againConsumed = utf8Written;
        KX_FUZZ_CHECK((big ? UTF8ToUTF16BE : UTF8ToUTF16LE)(again.data(), &againWritten,
                                                            utf8.data(), &againConsumed) == 0);
        KX_FUZZ_CHECK(againWritten == written);
        KX_FUZZ_CHECK(written == 0 || std::memcmp(again.data(), out, written) == 0);
    }
    delete[] out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckBothByteOrders(data, size, Check);
    return 0;
}
