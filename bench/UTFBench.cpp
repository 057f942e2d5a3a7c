// UTF-8 to UTF-16 and back, 64 KiB of mixed text: the library's converters against the
// platform's MultiByteToWideChar and WideCharToMultiByte (CP_UTF8), from the same input into
// output buffers of the same sizes.
#include "BenchHarness.h"

#include <kxcommon/UTFConvert.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kBytes = 64u << 10;

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
    kxbench::Tally tally;
    kxbench::PrintHeader("UTF-8 and UTF-16: the library's converters against the platform's");
    std::string utf8;
    while (utf8.size() + sizeof kSample <= kBytes) utf8 += kSample;
    const int utf8Bytes = static_cast<int>(utf8.size());
    const unsigned char* in = reinterpret_cast<const unsigned char*>(utf8.data());

    // Both outputs have room for one UTF-16 unit per input byte.
    std::vector<wchar_t> theirs(utf8.size() + 1);
    std::vector<unsigned char> mine(theirs.size() * sizeof(wchar_t));
    int theirUnits = 0, written = 0, consumed = 0;
    const auto libraryTo16 = [&] {
        written = static_cast<int>(mine.size());
        consumed = utf8Bytes;
        UTF8ToUTF16LE(mine.data(), &written, in, &consumed);
    };
    const auto platformTo16 = [&] {
        theirUnits = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Bytes, theirs.data(),
                                           static_cast<int>(theirs.size()));
    };
    libraryTo16();
    platformTo16();
    if (kxbench::Agree(tally,
                       consumed == utf8Bytes && written == theirUnits * 2 &&
                           std::memcmp(mine.data(), theirs.data(), written) == 0,
                       "UTF-8 to UTF-16"))
        kxbench::PrintRow(tally, "UTF-8 to UTF-16 64 KiB, UTF8ToUTF16LE / MultiByteToWideChar",
                          kxbench::Compare(libraryTo16, platformTo16), kxbench::kEncoderGoal);

    // Both outputs have room for the text and a few bytes more.
    std::string theirsBack(utf8.size() + 8, '\0');
    std::vector<unsigned char> mineBack(theirsBack.size());
    int theirBytes = 0, backWritten = 0, backConsumed = 0;
    const auto libraryTo8 = [&] {
        backWritten = static_cast<int>(mineBack.size());
        backConsumed = written;
        UTF16LEToUTF8(mineBack.data(), &backWritten, mine.data(), &backConsumed);
    };
    const auto platformTo8 = [&] {
        theirBytes = ::WideCharToMultiByte(CP_UTF8, 0, theirs.data(), theirUnits, &theirsBack[0],
                                           static_cast<int>(theirsBack.size()), nullptr, nullptr);
    };
    libraryTo8();
    platformTo8();
    if (kxbench::Agree(tally,
                       backConsumed == written && backWritten == theirBytes &&
                           backWritten == utf8Bytes &&
                           std::memcmp(mineBack.data(), utf8.data(), utf8.size()) == 0,
                       "UTF-16 to UTF-8"))
        kxbench::PrintRow(tally, "UTF-16 to UTF-8 64 KiB, UTF16LEToUTF8 / WideCharToMultiByte",
                          kxbench::Compare(libraryTo8, platformTo8), kxbench::kEncoderGoal);
    return kxbench::Finish(tally);
}
