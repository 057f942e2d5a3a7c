// UTF-8 to UTF-16 and back, 16 MiB of mixed text: the library's converters against the
// platform's MultiByteToWideChar and WideCharToMultiByte (CP_UTF8).
#include "BenchTimer.h"

#include <kxcommon/UTFConvert.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kBytes = 16u << 20;

// Mostly ASCII, with Latin, Cyrillic, Greek, CJK and characters outside the BMP.
const char kSample[] =
    "Scan finished: 3 files quarantined, pattern 3.123.45 (2.0.0.1050). "
    "R\xC3\xA9sum\xC3\xA9 na\xC3\xAFve fa\xC3\xA7"
    "ade \xC3\xBC"
    "ber Stra\xC3\x9F"
    "e. "
    "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB5\xD1\x80\xD0\xBA\xD0\xB0 "
    "\xCE\xB1\xCE\xB2\xCE\xB3 "
    "\xE7\x97\x85\xE6\xAF\x92\xE6\x89\xAB\xE6\x8F\x8F\xE5\xAE\x8C\xE6\x88\x90 "
    "\xF0\x9F\x98\x80\xF0\x9F\x94\x92 \xE2\x82\xAC"
    "12\n";

}  // namespace

int main() {
    std::string utf8;
    while (utf8.size() + sizeof kSample <= kBytes) utf8 += kSample;
    const int utf8Bytes = static_cast<int>(utf8.size());
    const unsigned char* in = reinterpret_cast<const unsigned char*>(utf8.data());

    std::vector<wchar_t> theirs(utf8.size() + 1);
    std::vector<unsigned char> mine(utf8.size() * 2 + 2);
    int theirUnits = 0, written = 0, consumed = 0;
    const double platformTo16 = kxbench::BestSeconds([&] {
        theirUnits = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Bytes, theirs.data(),
                                           static_cast<int>(theirs.size()));
    });
    const double libraryTo16 = kxbench::BestSeconds([&] {
        written = static_cast<int>(mine.size());
        consumed = utf8Bytes;
        UTF8ToUTF16LE(mine.data(), &written, in, &consumed);
    });
    if (!kxbench::Agree(consumed == utf8Bytes && written == theirUnits * 2 &&
                            std::memcmp(mine.data(), theirs.data(), written) == 0,
                        "UTF-8 to UTF-16"))
        return 1;

    std::string theirsBack(utf8.size() + 8, '\0');
    std::vector<unsigned char> mineBack(utf8.size() + 8);
    int theirBytes = 0, backWritten = 0, backConsumed = 0;
    const double platformTo8 = kxbench::BestSeconds([&] {
        theirBytes = ::WideCharToMultiByte(CP_UTF8, 0, theirs.data(), theirUnits, &theirsBack[0],
                                           static_cast<int>(theirsBack.size()), nullptr, nullptr);
    });
    const double libraryTo8 = kxbench::BestSeconds([&] {
        backWritten = static_cast<int>(mineBack.size());
        backConsumed = written;
        UTF16LEToUTF8(mineBack.data(), &backWritten, mine.data(), &backConsumed);
    });
    if (!kxbench::Agree(backConsumed == written && backWritten == theirBytes &&
                            backWritten == utf8Bytes &&
                            std::memcmp(mineBack.data(), utf8.data(), utf8.size()) == 0,
                        "UTF-16 to UTF-8"))
        return 1;

    const double megabytes = utf8.size() / 1e6;
    kxbench::PrintRatio("UTF-8 to UTF-16 16 MiB", megabytes, libraryTo16, platformTo16);
    kxbench::PrintRatio("UTF-16 to UTF-8 16 MiB", megabytes, libraryTo8, platformTo8);
    return 0;
}
