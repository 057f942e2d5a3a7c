// MD5 of 64 KiB: md5_calc against the platform's CryptoAPI (CALG_MD5). Both are one-shot digests
// of the same buffer; the provider is acquired once, as a program that hashes would keep it, and
// each platform call creates, feeds, reads and destroys its hash as md5_calc does its context.
#include "BenchHarness.h"

#include <kxcommon/MD5.h>

#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kBytes = 64u << 10;

bool PlatformMd5(HCRYPTPROV provider, const unsigned char* data, size_t size,
                 unsigned char digest[16]) {
    HCRYPTHASH hash = 0;
    DWORD digestSize = 16;
    const bool ok = ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
                    ::CryptHashData(hash, data, static_cast<DWORD>(size), 0) &&
                    ::CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0);
    if (hash != 0) ::CryptDestroyHash(hash);
    return ok;
}

}  // namespace

int main() {
    kxbench::Tally tally;
    kxbench::PrintHeader("MD5: md5_calc against the platform's CryptoAPI");
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        kxbench::Agree(tally, false, "MD5 (no CryptoAPI provider)");
        return kxbench::Finish(tally);
    }
    std::vector<unsigned char> data(kBytes);
    kxbench::Fill(data.data(), data.size());
    unsigned char mine[16] = {}, theirs[16] = {};
    bool ok = true;
    const auto library = [&] {
        md5_calc(mine, reinterpret_cast<const char*>(data.data()),
                 static_cast<unsigned int>(kBytes));
    };
    const auto platform = [&] { ok = PlatformMd5(provider, data.data(), kBytes, theirs) && ok; };
    library();
    platform();
    if (kxbench::Agree(tally, ok && std::memcmp(mine, theirs, 16) == 0, "MD5"))
        kxbench::PrintRow(tally, "MD5 of 64 KiB, md5_calc / CryptHashData",
                          kxbench::Compare(library, platform), kxbench::kEncoderGoal);
    ::CryptReleaseContext(provider, 0);
    return kxbench::Finish(tally);
}
