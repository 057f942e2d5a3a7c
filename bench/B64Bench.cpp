// Base64 of 16 MiB: B64 against the platform's CryptBinaryToStringW and CryptStringToBinaryW
// (one line, no line breaks, as B64 writes it).
#include "BenchTimer.h"

#include <kxcommon/B64.h>

#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kBytes = 16u << 20;
constexpr size_t kChars = (kBytes + 2) / 3 * 4;

}  // namespace

int main() {
    std::vector<unsigned char> data(kBytes);
    kxbench::Fill(data.data(), data.size());
    std::vector<unsigned short> mine(kChars + 1);
    std::vector<wchar_t> theirs(kChars + 1);

    bool ok = true;
    const double platformEncode = kxbench::BestSeconds([&] {
        DWORD chars = static_cast<DWORD>(theirs.size());
        ok = ok && ::CryptBinaryToStringW(data.data(), static_cast<DWORD>(kBytes),
                                          CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, theirs.data(),
                                          &chars);
    });
    const double libraryEncode = kxbench::BestSeconds([&] {
        B64::BinaryToBase64(data.data(), static_cast<unsigned long>(kBytes), mine.data(),
                            static_cast<unsigned int>(mine.size()));
    });
    if (!kxbench::Agree(ok && std::memcmp(mine.data(), theirs.data(), kChars * 2) == 0,
                        "Base64 encoding"))
        return 1;

    std::vector<unsigned char> mineBack(kBytes), theirsBack(kBytes);
    const double platformDecode = kxbench::BestSeconds([&] {
        DWORD bytes = static_cast<DWORD>(theirsBack.size());
        ok = ok &&
             ::CryptStringToBinaryW(theirs.data(), static_cast<DWORD>(kChars), CRYPT_STRING_BASE64,
                                    theirsBack.data(), &bytes, nullptr, nullptr);
    });
    int decoded = 0;
    const double libraryDecode = kxbench::BestSeconds([&] {
        decoded = B64::Base64ToBinary(mine.data(), mineBack.data(),
                                      static_cast<unsigned int>(mineBack.size()));
    });
    if (!kxbench::Agree(
            ok && decoded == static_cast<int>(kBytes) && mineBack == theirsBack && mineBack == data,
            "Base64 decoding"))
        return 1;

    const double megabytes = 16.0 * 1.048576;
    kxbench::PrintRatio("Base64 encode 16 MiB", megabytes, libraryEncode, platformEncode);
    kxbench::PrintRatio("Base64 decode 16 MiB", megabytes, libraryDecode, platformDecode);
    return 0;
}
