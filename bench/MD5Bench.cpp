// MD5 of 64 MiB: md5_calc against the platform's CryptoAPI (CALG_MD5).
#include "BenchTimer.h"

#include <kxcommon/MD5.h>

#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kBytes = 64u << 20;

bool PlatformMd5(const unsigned char* data, size_t size, unsigned char digest[16]) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    DWORD digestSize = 16;
    const bool ok =
        ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        ::CryptHashData(hash, data, static_cast<DWORD>(size), 0) &&
        ::CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0);
    if (hash != 0) ::CryptDestroyHash(hash);
    if (provider != 0) ::CryptReleaseContext(provider, 0);
    return ok;
}

}  // namespace

int main() {
    std::vector<unsigned char> data(kBytes);
    kxbench::Fill(data.data(), data.size());
    unsigned char mine[16] = {}, theirs[16] = {};

    bool ok = true;
    const double platform =
        kxbench::BestSeconds([&] { ok = ok && PlatformMd5(data.data(), kBytes, theirs); });
    const double library = kxbench::BestSeconds([&] {
        md5_calc(mine, reinterpret_cast<const char*>(data.data()),
                 static_cast<unsigned int>(kBytes));
    });
    if (!kxbench::Agree(ok && std::memcmp(mine, theirs, 16) == 0, "MD5")) return 1;
    kxbench::PrintRatio("MD5 64 MiB", 64.0 * 1.048576, library, platform);
    return 0;
}
