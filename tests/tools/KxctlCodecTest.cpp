// kxctl md5 and b64 on device files, as a user runs them.
#include "DeviceFixture.h"
#include "KxctlRunner.h"

#include <string>

namespace {

using kxtest::KxctlRun;
using kxtest::RunKxctl;

class KxctlCodecTest : public kxtest::DeviceTest {};

// The output without the carriage returns of the console's text mode.
std::string Text(const KxctlRun& run) {
    std::string text;
    for (char c : run.output)
        if (c != '\r') text += c;
    return text;
}

bool Contains(const std::string& output, const std::string& part) {
    return output.find(part) != std::string::npos;
}

TEST_F(KxctlCodecTest, Md5PrintsTheDigestOfAFile) {
    const std::wstring path = kxtest::MakeScratchFile(L"abc.txt", "abc");
    KxctlRun r = RunKxctl(L"md5 " + path);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Text(r), "900150983cd24fb0d6963f7d28e17f72\n");  // RFC 1321 "abc"

    r = RunKxctl(L"md5 \\kxtest\\missing.bin");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_TRUE(Contains(r.output, "cannot open")) << r.output;
}

TEST_F(KxctlCodecTest, B64EncodesAFileAndDecodesTextToHexOrAFile) {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<char>(i);
    const std::wstring path = kxtest::MakeScratchFile(L"foobar.txt", "foobar");
    KxctlRun r = RunKxctl(L"b64 encode " + path);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Text(r), "Zm9vYmFy\n");

    r = RunKxctl(L"b64 decode Zm9vYmE=");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Text(r), "66 6f 6f 62 61\n");

    // Every byte value through a file, out and back.
    const std::wstring binary = kxtest::MakeScratchFile(L"all.bin", all);
    r = RunKxctl(L"b64 encode " + binary);
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    const std::string text = Text(r).substr(0, Text(r).size() - 1);
    ASSERT_EQ(text.size(), 344u);
    r = RunKxctl(L"b64 decode " + std::wstring(text.begin(), text.end()) + L" \\kxtest\\back.bin");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    DWORD got = 0;
    std::string back(300, '\0');
    HANDLE file =
        ::CreateFileW(L"\\kxtest\\back.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::ReadFile(file, &back[0], 300, &got, nullptr);
    ::CloseHandle(file);
    back.resize(got);
    EXPECT_EQ(back, all);
}

TEST_F(KxctlCodecTest, BadInputIsRefused) {
    const std::wstring empty = kxtest::MakeScratchFile(L"empty.bin", "");
    KxctlRun r = RunKxctl(L"b64 encode " + empty);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(Text(r), "\n") << "empty data encodes to the empty text";

    const struct {
        const wchar_t* arguments;
        unsigned long exitCode;
    } cases[] = {
        {L"md5", 2},
        {L"md5 a b", 2},
        {L"b64", 2},
        {L"b64 encode", 2},
        {L"b64 squash x", 2},
        {L"b64 decode Zm9vY", 1},  // not whole groups
        {L"b64 decode =m9v", 1},   // nothing before the first non-digit
        {L"b64 encode \\kxtest\\missing.bin", 1},
    };
    for (const auto& c : cases) {
        r = RunKxctl(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode)
            << testing::PrintToString(std::wstring(c.arguments)) << r.output;
        EXPECT_FALSE(r.output.empty()) << "a refusal says why";
    }
}

}  // namespace
