// Base64 of 64 KiB: B64 against the platform's CryptBinaryToStringW and CryptStringToBinaryW,
// one line without line breaks as B64 writes it, from and into buffers of the same sizes.
#include "BenchHarness.h"

#include <kxcommon/B64.h>

#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kBytes = 64u << 10;
constexpr size_t kChars = (kBytes + 2) / 3 * 4;

}  // namespace

int main() {
    kxbench::Tally tally;
    kxbench::PrintHeader("Base64: B64 against CryptBinaryToStringW and CryptStringToBinaryW");
    std::vector<unsigned char> data(kBytes);
    kxbench::Fill(data.data(), data.size());
    std::vector<unsigned short> mine(kChars + 1);
    std::vector<wchar_t> theirs(kChars + 1);

    bool ok = true;
    const auto libraryEncode = [&] {
        B64::BinaryToBase64(data.data(), static_cast<unsigned long>(kBytes), mine.data(),
                            static_cast<unsigned int>(mine.size()));
    };
    const auto platformEncode = [&] {
        DWORD chars = static_cast<DWORD>(theirs.size());
        ok = ::CryptBinaryToStringW(data.data(), static_cast<DWORD>(kBytes),
                                    CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, theirs.data(),
                                    &chars) &&
             ok;
    };
    libraryEncode();
    platformEncode();
    if (kxbench::Agree(tally, ok && std::memcmp(mine.data(), theirs.data(), kChars * 2) == 0,
                       "Base64 encoding"))
        kxbench::PrintRow(tally, "encode 64 KiB, BinaryToBase64 / CryptBinaryToStringW",
                          kxbench::Compare(libraryEncode, platformEncode), kxbench::kEncoderGoal);

    std::vector<unsigned char> mineBack(kBytes), theirsBack(kBytes);
    int decoded = 0;
    const auto libraryDecode = [&] {
        decoded = B64::Base64ToBinary(mine.data(), mineBack.data(),
                                      static_cast<unsigned int>(mineBack.size()));
    };
    const auto platformDecode = [&] {
        DWORD bytes = static_cast<DWORD>(theirsBack.size());
        ok = ::CryptStringToBinaryW(theirs.data(), static_cast<DWORD>(kChars), CRYPT_STRING_BASE64,
                                    theirsBack.data(), &bytes, nullptr, nullptr) &&
             ok;
    };
    libraryDecode();
    platformDecode();
    if (kxbench::Agree(
            tally,
            ok && decoded == static_cast<int>(kBytes) && mineBack == theirsBack && mineBack == data,
            "Base64 decoding"))
        kxbench::PrintRow(tally, "decode 64 KiB, Base64ToBinary / CryptStringToBinaryW",
                          kxbench::Compare(libraryDecode, platformDecode), kxbench::kEncoderGoal);
    return kxbench::Finish(tally);
}
