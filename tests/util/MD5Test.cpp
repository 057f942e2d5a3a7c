// MD5 digests: every padding boundary against the platform's own MD5, and MD5File's reading and
// its one shared result buffer.
#include "DeviceFixture.h"

#include <kxcommon/MD5.h>

#include <wincrypt.h>

static std::string Hex(const unsigned char* digest) {
    std::string s;
    for (int i = 0; i < 32; ++i) s += "0123456789abcdef"[(digest[i / 2] >> (i % 2 ? 0 : 4)) & 15];
    return s;
}

static std::string Md5Hex(const std::string& data) {
    unsigned char digest[17];
    digest[16] = 0xBD;
    md5_calc(digest, data.data(), static_cast<unsigned>(data.size()));
    EXPECT_EQ(digest[16], 0xBD) << "exactly 16 bytes written";
    return Hex(digest);
}

// The platform's MD5 as the oracle.
static std::string PlatformMd5Hex(const std::string& data) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    unsigned char digest[16] = {};
    DWORD size = sizeof digest;
    EXPECT_TRUE(
        ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        ::CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()), 0) &&
        ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0));
    ::CryptDestroyHash(hash);
    ::CryptReleaseContext(provider, 0);
    return Hex(digest);
}

// Every length up to 200 bytes, around 56 and 64 bytes of a block, which decide whether the bit
// count shares the last block.
TEST(MD5, Digests) {
    std::string data;
    for (size_t length = 0; length <= 200; ++length, data += char(length * 7 + 1))
        ASSERT_EQ(Md5Hex(data), PlatformMd5Hex(data)) << "length " << length;
    unsigned char digest[16] = {0xBD};
    md5_calc(digest, nullptr, 5);
    EXPECT_EQ(digest[0], 0xBD) << "no data: nothing written";
    md5_calc(nullptr, "abc", 3);  // must not crash
}

static auto U(const std::wstring& t) { return reinterpret_cast<const unsigned short*>(t.c_str()); }

class MD5FileTest : public kxtest::DeviceTest {};

// Sizes around the piece the file is read in; one result buffer that a failed call leaves
// alone; no handle left open (the file can be deleted).
TEST_F(MD5FileTest, DigestsFiles) {
    for (size_t size : {0u, 1023u, 1024u, 1025u}) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = char(i * 31 + size);
        const std::wstring path = kxtest::MakeScratchFile(L"piece.bin", content);
        const unsigned char* digest = MD5File(U(path));
        EXPECT_EQ(digest ? Hex(digest) : "<none>", Md5Hex(content)) << "size " << size;
        EXPECT_TRUE(::DeleteFileW(path.c_str())) << "size " << size;
    }
    unsigned char* one = MD5File(U(kxtest::MakeScratchFile(L"a.txt", "a")));
    for (const wchar_t* bad : {L"\\kxtest\\missing.bin", L"\\kxtest"})
        EXPECT_EQ(MD5File(U(bad)), nullptr);
    EXPECT_EQ(MD5File(nullptr), nullptr);
    EXPECT_EQ(Hex(one), "0cc175b9c0f1b6a831c399e269772661") << "previous result kept";
    EXPECT_EQ(MD5File(U(kxtest::MakeScratchFile(L"b.txt", "abc"))), one) << "one shared buffer";
    EXPECT_EQ(Hex(one), "900150983cd24fb0d6963f7d28e17f72");
}
