// The management server's key file: two length-prefixed components and a flag byte.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kAppDir[] = L"\\kxtest";  // read once per process: the same in every test
constexpr wchar_t kKeyFile[] = L"\\kxtest\\mgi.key";

class KeyFileTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
        ::CreateDirectoryW(kAppDir, nullptr);
    }
};

std::vector<unsigned char> Pattern(size_t size, unsigned char seed) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
    return bytes;
}

// Reads the key into buffers one byte larger than the capacities given; "fail" or
// "first|second|flag" with a '!' for a canary byte written past a capacity.
std::string Read(unsigned long c1, unsigned long c2) {
    std::vector<unsigned char> a(c1 + 1, 0xEE), b(c2 + 1, 0xEE);
    unsigned char flag = 9;
    const int result = KxConfig::GetRsaKeyEx(a.data(), c1, b.data(), c2, flag);
    std::string canaries =
        (a[a.size() - 1] == 0xEE ? "" : "!") + std::string(b.back() == 0xEE ? "" : "!");
    if (result != 1) return "fail" + canaries;
    return std::string(a.begin(), a.begin() + c1) + "|" + std::string(b.begin(), b.begin() + c2) +
           "|" + std::to_string(flag) + canaries;
}

TEST_F(KeyFileTest, KeyComesBackWholeAndWhatDoesNotFitIsRefused) {
    std::vector<unsigned char> first = Pattern(128, 1), second = Pattern(3, 200);
    unsigned long l1 = 128, l2 = 3;
    ASSERT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, second.data(), l2), 1);
    const std::string good = kxtest::ReadDeviceFile(kKeyFile);
    EXPECT_EQ(good, std::string("\x80\0\0\0", 4) + std::string(first.begin(), first.end()) +
                        std::string("\x03\0\0\0", 4) + std::string(second.begin(), second.end()) +
                        "\x01");
    const std::string whole = std::string(first.begin(), first.end()) + "|" +
                              std::string(second.begin(), second.end()) + "|";
    const struct Row {
        const char* name;
        std::string file;
        unsigned long c1, c2;
        std::string expected;
    } rows[] = {
        {"whole", good, 128, 3, whole + "1"},
        {"no flag byte", good.substr(0, 139), 128, 3, whole + "0"},
        {"cut in the second component", good.substr(0, 138), 128, 3, "fail"},
        {"cut in the second length", good.substr(0, 134), 128, 3, "fail"},
        {"cut in the first component", good.substr(0, 50), 128, 3, "fail"},
        {"cut in the first length", good.substr(0, 2), 128, 3, "fail"},
        {"empty", std::string(), 128, 3, "fail"},
        {"first larger than its buffer", good, 127, 3, "fail"},
        {"second larger than its buffer", good, 128, 2, "fail"},
        {"zero first length", std::string(4, '\0') + good.substr(4), 128, 3, "fail"},
        {"a length far beyond the file", "\xff\xff\xff\x7f" + good.substr(4), 4096, 3, "fail"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        kxtest::MakeScratchFile(L"mgi.key", row.file);
        EXPECT_EQ(Read(row.c1, row.c2), row.expected);
    }

    // Bad components leave the existing key file as it was.
    kxtest::MakeScratchFile(L"mgi.key", good);
    unsigned long zero = 0;
    EXPECT_EQ(KxConfig::SetRsaKeyEx(first.data(), zero, second.data(), l2), 0);
    EXPECT_EQ(KxConfig::SetRsaKeyEx(first.data(), l1, nullptr, l2), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(kKeyFile), good);
    ::DeleteFileW(kKeyFile);
    EXPECT_EQ(Read(128, 3), "fail") << "no key file";
}

}  // namespace
