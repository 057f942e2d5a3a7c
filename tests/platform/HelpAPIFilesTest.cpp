// Forced file operations and tree walks, on real files of the device.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <set>

class HelpAPIFilesTest : public kxtest::DeviceTest {};

// What is under `dir`, sorted: each entry's path below \kxtest, folders with "/", read-only
// files followed by "!".
static std::wstring Tree(const std::wstring& dir = L"\\kxtest") {
    std::set<std::wstring> all;
    WIN32_FIND_DATAW f;
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &f);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &f)) {
        const std::wstring name = f.cFileName, path = dir + L"\\" + name;
        const bool folder = f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (name == L"." || name == L"..") continue;
        all.insert(path.substr(8) + (folder ? L"/" : L"") +
                   (f.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? L"! " : L" ") +
                   (folder ? Tree(path) : L""));
    }
    ::FindClose(find);
    std::wstring text;
    for (const std::wstring& entry : all) text += entry;
    return text;
}

static std::wstring S(const wchar_t* relative) { return std::wstring(L"\\kxtest\\") + relative; }

static void MakeDirs(std::initializer_list<const wchar_t*> dirs) {
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    for (const wchar_t* dir : dirs) ::CreateDirectoryW(S(dir).c_str(), nullptr);
}

// Read-only files are deleted and moved over; a moved file keeps its attributes; a failed move
// leaves the source read-only as it was.
TEST_F(HelpAPIFilesTest, ForceDeleteAndMove) {
    const std::wstring ro = kxtest::MakeScratchFile(L"ro.txt");
    const std::wstring from = kxtest::MakeScratchFile(L"new.txt", "new");
    const std::wstring to = kxtest::MakeScratchFile(L"old.txt", "old");
    const std::wstring keep = kxtest::MakeScratchFile(L"keep.txt", "keep");
    for (const std::wstring& f : {ro, to, keep})
        ::SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const DWORD attributes = ::GetFileAttributesW(from.c_str());
    EXPECT_NE(HelpAPI::ForceDeleteFile(ro.c_str()), 0);
    EXPECT_EQ(HelpAPI::ForceDeleteFile(ro.c_str()) + HelpAPI::ForceDeleteFile(nullptr), 0);
    EXPECT_EQ(HelpAPI::ForceMoveFile(from.c_str(), to.c_str()), 1);
    EXPECT_EQ(::GetFileAttributesW(to.c_str()), attributes);
    EXPECT_EQ(HelpAPI::ForceMoveFile(keep.c_str(), S(L"no\\such\\keep.txt").c_str()), 0);
    EXPECT_EQ(HelpAPI::ForceMoveFile(S(L"absent").c_str(), S(L"x").c_str()), 0);
    EXPECT_EQ(Tree(), L"keep.txt! old.txt! ");
}

// A tree with read-only files goes whole (a trailing backslash is fine); entries whose names
// start with a dot are left, and reported, while every other entry is still tried.
TEST_F(HelpAPIFilesTest, UnlinkDir) {
    MakeDirs({L"tree", L"tree\\sub", L"dots"});
    kxtest::MakeScratchFile(L"tree\\a.txt");
    const std::wstring deep = kxtest::MakeScratchFile(L"tree\\sub\\b.txt");
    ::SetFileAttributesW(deep.c_str(), FILE_ATTRIBUTE_READONLY);
    kxtest::MakeScratchFile(L"dots\\.hidden");
    kxtest::MakeScratchFile(L"dots\\plain.txt");
    const std::wstring single = kxtest::MakeScratchFile(L"single.txt");
    EXPECT_EQ(HelpAPI::UnlinkDir(S(L"tree\\").c_str()), 1);
    EXPECT_EQ(HelpAPI::UnlinkDir(S(L"dots").c_str()), 0);
    EXPECT_EQ(HelpAPI::UnlinkDir(single.c_str()), 1) << "a file is removed too";
    EXPECT_EQ(HelpAPI::UnlinkDir(single.c_str()) + HelpAPI::UnlinkDir(nullptr), 0);
    EXPECT_EQ(Tree(), L"dots/ dots\\.hidden ");
}

// Every entry but dot entries moves, read-only ones too; the source folder stays; a missing
// source makes the destination; a file moves as a file; a destination that cannot be made fails.
TEST_F(HelpAPIFilesTest, MoveDir) {
    MakeDirs({L"from", L"from\\sub"});
    kxtest::MakeScratchFile(L"from\\a.txt", "a");
    ::SetFileAttributesW(kxtest::MakeScratchFile(L"from\\sub\\b.txt").c_str(),
                         FILE_ATTRIBUTE_READONLY);
    kxtest::MakeScratchFile(L"from\\.keep");
    const std::wstring file = kxtest::MakeScratchFile(L"f.txt", "f");
    EXPECT_EQ(HelpAPI::MoveDir(S(L"from").c_str(), S(L"to").c_str()), 1);
    EXPECT_EQ(HelpAPI::MoveDir(S(L"nothing").c_str(), S(L"made").c_str()), 1);
    EXPECT_EQ(HelpAPI::MoveDir(file.c_str(), S(L"g.txt").c_str()), 1);
    EXPECT_EQ(HelpAPI::MoveDir(S(L"nothing").c_str(), S(L"no\\such\\x").c_str()), 0);
    EXPECT_EQ(Tree(),
              L"from/ from\\.keep from\\sub/ g.txt made/ to/ to\\a.txt to\\sub/ to\\sub\\b.txt! ");
}

static HANDLE WINAPI RecordingCreate(LPCWSTR name, DWORD access, DWORD share,
                                     LPSECURITY_ATTRIBUTES sa, DWORD disposition, DWORD flags,
                                     HANDLE templateFile) {
    static wchar_t seen[200];
    std::swprintf(seen, 200, L"%ls %lu %lu %u %lu %lu %u", name, access, share,
                  unsigned(size_t(sa)), disposition, flags, unsigned(size_t(templateFile)));
    return seen;
}

// The product marks its own creations (security and template 3) while real-time scanning is on.
TEST_F(HelpAPIFilesTest, InternalCreateFileMarksTheProductsOwnCreation) {
    FileParameter parameter = {L"\\kxtest\\own.bin", GENERIC_WRITE, 1, CREATE_ALWAYS, 128, 77, 88};
    const auto seen = [&] {
        return std::wstring(
            static_cast<const wchar_t*>(InternalCreateFile(parameter, RecordingCreate)));
    };
    EXPECT_EQ(seen(), L"\\kxtest\\own.bin 1073741824 1 0 2 128 0");
    const DWORD on = 1;
    kxtest::RawSetValue(kxtest::kProductKey, L"RealTimeScan", REG_DWORD, &on, 4);
    EXPECT_EQ(seen(), L"\\kxtest\\own.bin 1073741824 1 3 2 128 3");
    EXPECT_EQ(InternalCreateFile(parameter, nullptr), INVALID_HANDLE_VALUE);
}
