// MD5 digests: every padding boundary against the platform's own MD5, and MD5File's reading and
// its one shared result buffer.
#include "DeviceFixture.h"

#include <kxcommon/MD5.h>

#include <wincrypt.h>

static std::string Raw(const unsigned char* digest) { return {(const char*)digest, 16}; }
static auto Units(const std::wstring& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

static std::string Md5(const std::string& data) {
    std::string digest(17, '\xBD');
    md5_calc(reinterpret_cast<unsigned char*>(&digest[0]), data.data(), unsigned(data.size()));
    EXPECT_EQ(digest[16], '\xBD') << "exactly 16 bytes written";
    return digest.substr(0, 16);
}

// The platform's MD5 as the oracle.
static std::string PlatformMd5(const std::string& data) {
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
    return Raw(digest);
}

class MD5Test : public kxtest::DeviceTest {};

// Every length up to 1025 bytes: around 56 and 64 bytes of a block, which decide whether the bit
// count shares the last block, and, from a file, around the piece of 1024 bytes a file is read
// in, leaving no handle open (the file can be deleted).
TEST_F(MD5Test, DigestsOfDataAndFilesInOneBuffer) {
    std::string data;
    for (size_t length = 0; length <= 1025; ++length) {
        const std::string expected = PlatformMd5(data);
        ASSERT_EQ(Md5(data), expected) << "md5_calc of " << length << " bytes";
        if (length == 0 || length >= 1023) {
            const std::wstring path = kxtest::MakeScratchFile(L"piece.bin", data);
            const unsigned char* digest = MD5File(Units(path));
            EXPECT_EQ(digest ? Raw(digest) : "<none>", expected) << "MD5File of " << length;
            EXPECT_TRUE(::DeleteFileW(path.c_str())) << "MD5File left the file open: " << length;
        }
        data += char((length + 1) * 7 + 1);
    }
    unsigned char digest[16] = {0xBD};
    md5_calc(digest, nullptr, 5);
    EXPECT_EQ(digest[0], 0xBD) << "no data: nothing written";
    md5_calc(nullptr, "abc", 3);  // must not crash
    // MD5File has one result buffer, which a failed call leaves alone.
    unsigned char* one = MD5File(Units(kxtest::MakeScratchFile(L"a.txt", "a")));
    for (const wchar_t* bad : {L"\\kxtest\\missing.bin", L"\\kxtest", (const wchar_t*)nullptr})
        EXPECT_EQ(MD5File(reinterpret_cast<const unsigned short*>(bad)), nullptr);
    EXPECT_EQ(Raw(one), Md5("a")) << "previous result kept";
    EXPECT_EQ(MD5File(Units(kxtest::MakeScratchFile(L"b.txt", "abc"))), one) << "one shared buffer";
    EXPECT_EQ(Raw(one), Md5("abc"));
}
