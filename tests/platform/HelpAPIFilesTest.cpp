// Forced file operations and tree walks, on real files of the device.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <string>

namespace {

using kxtest::MakeScratchFile;

class HelpAPIFilesTest : public kxtest::DeviceTest {};

std::wstring Scratch(const std::wstring& relative) {
    return std::wstring(kxtest::kScratchDir) + L"\\" + relative;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

void MakeDir(const std::wstring& path) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    ::CreateDirectoryW(path.c_str(), nullptr);
}

std::string Content(const std::wstring& path) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[256];
    DWORD got = 0;
    ::ReadFile(f, buffer, sizeof buffer, &got, nullptr);
    ::CloseHandle(f);
    return std::string(buffer, got);
}

TEST_F(HelpAPIFilesTest, ForceDeleteRemovesReadOnlyFiles) {
    const std::wstring file = MakeScratchFile(L"ro.txt");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(HelpAPI::ForceDeleteFile(file.c_str()), 0);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(HelpAPI::ForceDeleteFile(file.c_str()), 0) << "missing";
    EXPECT_EQ(HelpAPI::ForceDeleteFile(nullptr), 0);
}

TEST_F(HelpAPIFilesTest, ForceMoveReplacesAReadOnlyDestinationAndKeepsAttributes) {
    const std::wstring source = MakeScratchFile(L"new.txt", "new");
    const std::wstring destination = MakeScratchFile(L"old.txt", "old");
    ASSERT_TRUE(::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(
        ::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD before = Attributes(source);

    EXPECT_EQ(HelpAPI::ForceMoveFile(source.c_str(), destination.c_str()), 1);
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(Content(destination), "new");
    EXPECT_EQ(Attributes(destination), before) << "the moved file keeps the attributes it had";
    EXPECT_NE(before & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(HelpAPIFilesTest, FailedForceMoveRestoresTheSourceAttributes) {
    const std::wstring source = MakeScratchFile(L"keep.txt", "keep");
    ASSERT_TRUE(::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD before = Attributes(source);
    const std::wstring intoMissingDir = Scratch(L"no\\such\\dir\\keep.txt");
    EXPECT_EQ(HelpAPI::ForceMoveFile(source.c_str(), intoMissingDir.c_str()), 0);
    EXPECT_EQ(Content(source), "keep");
    EXPECT_EQ(Attributes(source), before) << "still read-only";
    EXPECT_EQ(HelpAPI::ForceMoveFile(Scratch(L"absent").c_str(), Scratch(L"x").c_str()), 0);
    EXPECT_FALSE(Exists(Scratch(L"x")));
}

TEST_F(HelpAPIFilesTest, UnlinkDirRemovesATreeWithReadOnlyFiles) {
    MakeDir(Scratch(L"tree"));
    MakeDir(Scratch(L"tree\\sub"));
    MakeScratchFile(L"tree\\a.txt");
    const std::wstring deep = MakeScratchFile(L"tree\\sub\\b.txt");
    ::SetFileAttributesW(deep.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(HelpAPI::UnlinkDir((Scratch(L"tree") + L"\\").c_str()), 1) << "trailing backslash";
    EXPECT_FALSE(Exists(Scratch(L"tree")));
}

TEST_F(HelpAPIFilesTest, UnlinkDirLeavesDotEntriesAndReportsIt) {
    MakeDir(Scratch(L"dots"));
    MakeScratchFile(L"dots\\.hidden");
    MakeScratchFile(L"dots\\plain.txt");
    EXPECT_EQ(HelpAPI::UnlinkDir(Scratch(L"dots").c_str()), 0);
    EXPECT_TRUE(Exists(Scratch(L"dots\\.hidden")));
    EXPECT_FALSE(Exists(Scratch(L"dots\\plain.txt"))) << "every other entry is still tried";
}

TEST_F(HelpAPIFilesTest, UnlinkDirOfFilesAndNothing) {
    const std::wstring file = MakeScratchFile(L"single.txt");
    EXPECT_EQ(HelpAPI::UnlinkDir(file.c_str()), 1);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(HelpAPI::UnlinkDir(file.c_str()), 0);
    EXPECT_EQ(HelpAPI::UnlinkDir(nullptr), 0);
}

TEST_F(HelpAPIFilesTest, MoveDirMovesEveryEntryAndLeavesTheSource) {
    MakeDir(Scratch(L"from"));
    MakeDir(Scratch(L"from\\sub"));
    MakeScratchFile(L"from\\a.txt", "a");
    const std::wstring ro = MakeScratchFile(L"from\\sub\\b.txt", "b");
    ::SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    MakeScratchFile(L"from\\.keep", "k");

    EXPECT_EQ(HelpAPI::MoveDir(Scratch(L"from").c_str(), Scratch(L"to").c_str()), 1);
    EXPECT_EQ(Content(Scratch(L"to\\a.txt")), "a");
    EXPECT_EQ(Content(Scratch(L"to\\sub\\b.txt")), "b");
    EXPECT_NE(Attributes(Scratch(L"to\\sub\\b.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(Exists(Scratch(L"from"))) << "the source directory stays";
    EXPECT_FALSE(Exists(Scratch(L"from\\a.txt")));
    EXPECT_TRUE(Exists(Scratch(L"from\\.keep"))) << "dot entries are not moved";
    EXPECT_FALSE(Exists(Scratch(L"to\\.keep")));
}

TEST_F(HelpAPIFilesTest, MoveDirIntoAMissingDestinationAndOfAFile) {
    MakeDir(kxtest::kScratchDir);
    EXPECT_EQ(HelpAPI::MoveDir(Scratch(L"nothing").c_str(), Scratch(L"made").c_str()), 1);
    EXPECT_EQ(Attributes(Scratch(L"made")) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    const std::wstring file = MakeScratchFile(L"f.txt", "f");
    EXPECT_EQ(HelpAPI::MoveDir(file.c_str(), Scratch(L"g.txt").c_str()), 1);
    EXPECT_EQ(Content(Scratch(L"g.txt")), "f");
    EXPECT_EQ(HelpAPI::MoveDir(Scratch(L"nothing").c_str(), Scratch(L"no\\such\\x").c_str()), 0)
        << "a destination that cannot be made";
}

// ---- InternalCreateFile ---------------------------------------------------------------------

struct Seen {
    LPSECURITY_ATTRIBUTES security;
    HANDLE templateFile;
    DWORD access, share, disposition, flags;
    std::wstring name;
} g_seen;

HANDLE WINAPI RecordingCreate(LPCWSTR name, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE templateFile) {
    g_seen = {security, templateFile, access, share, disposition, flags, name};
    return reinterpret_cast<HANDLE>(0x1234);
}

TEST_F(HelpAPIFilesTest, InternalCreateFileMarksTheProductsOwnCreation) {
    FileParameter parameter = {L"\\kxtest\\own.bin",
                               GENERIC_WRITE,
                               FILE_SHARE_READ,
                               CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL,
                               77,
                               88};
    EXPECT_EQ(InternalCreateFile(parameter, RecordingCreate), reinterpret_cast<HANDLE>(0x1234));
    EXPECT_EQ(g_seen.security, nullptr) << "real-time scanning off: no marker";
    EXPECT_EQ(g_seen.templateFile, nullptr);
    EXPECT_EQ(g_seen.name, L"\\kxtest\\own.bin");
    EXPECT_EQ(g_seen.access, static_cast<DWORD>(GENERIC_WRITE));
    EXPECT_EQ(g_seen.share, static_cast<DWORD>(FILE_SHARE_READ));
    EXPECT_EQ(g_seen.disposition, static_cast<DWORD>(CREATE_ALWAYS));
    EXPECT_EQ(g_seen.flags, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));

    const DWORD on = 1;
    kxtest::RawSetValue(L"SOFTWARE\\Quorlend\\Scutara\\2.0", L"RealTimeScan", REG_DWORD, &on, 4);
    InternalCreateFile(parameter, RecordingCreate);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(g_seen.security), 3u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(g_seen.templateFile), 3u);

    EXPECT_EQ(InternalCreateFile(parameter, nullptr), INVALID_HANDLE_VALUE);
}

}  // namespace
