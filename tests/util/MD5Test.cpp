// MD5 digests: the RFC 1321 test suite, every padding boundary against the platform's own MD5,
// and MD5File's reading and its one shared result buffer.
#include "DeviceFixture.h"

#include <kxcommon/MD5.h>

#include <wincrypt.h>

#include <cstring>
#include <string>

namespace {

constexpr unsigned char kCanary = 0xBD;

std::string Hex(const unsigned char* digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; ++i) {
        s += kDigits[digest[i] >> 4];
        s += kDigits[digest[i] & 0xF];
    }
    return s;
}

std::string Md5Hex(const std::string& data) {
    unsigned char digest[17];
    digest[16] = kCanary;
    md5_calc(digest, data.data(), static_cast<unsigned int>(data.size()));
    EXPECT_EQ(digest[16], kCanary) << "exactly 16 bytes written";
    return Hex(digest);
}

// The platform's MD5 as the oracle.
std::string PlatformMd5Hex(const std::string& data) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    unsigned char digest[16] = {};
    DWORD size = sizeof digest;
    const bool ok =
        ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        ::CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()), 0) &&
        ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    if (hash != 0) ::CryptDestroyHash(hash);
    if (provider != 0) ::CryptReleaseContext(provider, 0);
    EXPECT_TRUE(ok) << "the platform's MD5 is unavailable";
    return Hex(digest);
}

const unsigned short* U(const std::wstring& path) {
    return reinterpret_cast<const unsigned short*>(path.c_str());
}

// RFC 1321, appendix A.5.
TEST(MD5, RfcTestSuite) {
    const struct {
        const char* message;
        const char* digest;
    } suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& v : suite) EXPECT_EQ(Md5Hex(v.message), v.digest) << v.message;
}

// Lengths around 56 and 64 bytes decide whether the bit count shares the last block.
TEST(MD5, EveryLengthAroundTheBlockBoundariesMatchesThePlatform) {
    std::string data;
    for (size_t length = 0; length <= 200; ++length) {
        ASSERT_EQ(Md5Hex(data), PlatformMd5Hex(data)) << "length " << length;
        data += static_cast<char>(length * 7 + 1);
    }
}

TEST(MD5, NullArgumentsWriteNothing) {
    unsigned char digest[16];
    std::memset(digest, kCanary, sizeof digest);
    md5_calc(digest, nullptr, 5);
    for (unsigned char b : digest) EXPECT_EQ(b, kCanary);
    md5_calc(nullptr, "abc", 3);  // must not crash
    md5_calc(digest, nullptr, 0);
    EXPECT_EQ(Hex(digest), "d41d8cd98f00b204e9800998ecf8427e") << "no data is the empty message";
    EXPECT_EQ(MD5File(nullptr), nullptr);
}

class MD5FileTest : public kxtest::DeviceTest {};

TEST_F(MD5FileTest, DigestsFilesAroundTheReadPieceSize) {
    for (size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 5000u}) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 31 + size);
        const std::wstring path = kxtest::MakeScratchFile(L"piece.bin", content);
        const unsigned char* digest = MD5File(U(path));
        ASSERT_NE(digest, nullptr) << "size " << size;
        EXPECT_EQ(Hex(digest), Md5Hex(content)) << "size " << size;
    }
}

TEST_F(MD5FileTest, SharesOneResultBufferThatAFailedCallLeavesAlone) {
    const std::wstring first = kxtest::MakeScratchFile(L"abc.txt", "abc");
    const std::wstring second = kxtest::MakeScratchFile(L"a.txt", "a");
    unsigned char* one = MD5File(U(first));
    ASSERT_NE(one, nullptr);
    unsigned char* two = MD5File(U(second));
    EXPECT_EQ(one, two);
    EXPECT_EQ(Hex(two), "0cc175b9c0f1b6a831c399e269772661") << "the later call overwrote it";

    EXPECT_EQ(MD5File(U(L"\\kxtest\\missing.bin")), nullptr);
    EXPECT_EQ(MD5File(U(L"\\kxtest")), nullptr) << "a directory is not a file";
    EXPECT_EQ(Hex(two), "0cc175b9c0f1b6a831c399e269772661") << "previous result kept";
}

TEST_F(MD5FileTest, LeavesNoHandleOpen) {
    const std::wstring path = kxtest::MakeScratchFile(L"closed.bin", "closed");
    ASSERT_NE(MD5File(U(path)), nullptr);
    // An exclusive open fails while any handle to the file remains.
    HANDLE exclusive = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    if (exclusive != INVALID_HANDLE_VALUE) ::CloseHandle(exclusive);
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
}

}  // namespace
