// Forced file operations and tree walks, on real files of the device.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <filesystem>
#include <set>

class HelpAPIFilesTest : public kxtest::DeviceTest {};

// What is under \kxtest, sorted: each entry's path below it, folders with "/", read-only entries
// followed by "!".
static std::wstring Tree() {
    std::set<std::wstring> all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(L"\\kxtest")) {
        const DWORD attributes = ::GetFileAttributesW(entry.path().c_str());
        all.insert(entry.path().wstring().substr(8) + (entry.is_directory() ? L"/" : L"") +
                   (attributes & FILE_ATTRIBUTE_READONLY ? L"! " : L" "));
    }
    std::wstring text;
    for (const std::wstring& entry : all) text += entry;
    return text;
}

static std::wstring S(const wchar_t* relative) { return std::wstring(L"\\kxtest\\") + relative; }

// Read-only files are deleted and moved over; a moved file keeps its attributes; a failed move
// leaves the source read-only as it was. A tree with read-only files goes whole (a trailing
// backslash is fine); entries whose names start with a dot are left, and reported, while every
// other entry is still tried. MoveDir moves every entry but dot entries, read-only ones too; the
// source folder stays; a missing source makes the destination; a file moves as a file; a
// destination that cannot be made fails. A folder whose path leaves no room for the walk's
// pattern (258 characters) cannot be walked: UnlinkDir still removes it when empty, and MoveDir
// makes the destination and has nothing to move.
TEST_F(HelpAPIFilesTest, ForcedOperationsAndTreeWalks) {
    const std::wstring from = kxtest::MakeScratchFile(L"new.txt", "new");
    const std::wstring longest = std::wstring(250, L'L'), longestMoved = std::wstring(250, L'M');
    for (const std::wstring& dir : {longest, longestMoved})
        ASSERT_TRUE(::CreateDirectoryW(S(dir.c_str()).c_str(), nullptr) &&
                    S(dir.c_str()).size() == 258);
    for (const wchar_t* dir : {L"tree", L"tree\\sub", L"dots", L"from", L"from\\sub"})
        ::CreateDirectoryW(S(dir).c_str(), nullptr);
    for (const wchar_t* name : {L"tree\\a.txt", L"dots\\.hidden", L"dots\\plain.txt",
                                L"from\\a.txt", L"from\\.keep", L"single.txt", L"f.txt"})
        kxtest::MakeScratchFile(name);
    for (const wchar_t* name :
         {L"ro.txt", L"old.txt", L"keep.txt", L"tree\\sub\\b.txt", L"from\\sub\\b.txt"})
        ::SetFileAttributesW(kxtest::MakeScratchFile(name).c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const DWORD attributes = ::GetFileAttributesW(from.c_str());
    // Each call's answer, in order.
    const struct Row {
        const char* name;
        int answer, expected;
    } rows[] = {
        {"read-only deleted", HelpAPI::ForceDeleteFile(S(L"ro.txt").c_str()) != 0, 1},
        {"gone, or none",
         HelpAPI::ForceDeleteFile(S(L"ro.txt").c_str()) + HelpAPI::ForceDeleteFile(nullptr), 0},
        {"moved over read-only", HelpAPI::ForceMoveFile(from.c_str(), S(L"old.txt").c_str()), 1},
        {"its attributes kept", ::GetFileAttributesW(S(L"old.txt").c_str()) == attributes, 1},
        {"no such folder",
         HelpAPI::ForceMoveFile(S(L"keep.txt").c_str(), S(L"no\\such\\keep.txt").c_str()), 0},
        {"no source", HelpAPI::ForceMoveFile(S(L"absent").c_str(), S(L"x").c_str()), 0},
        {"unlink a tree", HelpAPI::UnlinkDir(S(L"tree\\").c_str()), 1},
        {"dot entries stay", HelpAPI::UnlinkDir(S(L"dots").c_str()), 0},
        {"a file is removed too", HelpAPI::UnlinkDir(S(L"single.txt").c_str()), 1},
        {"gone, or none",
         HelpAPI::UnlinkDir(S(L"single.txt").c_str()) + HelpAPI::UnlinkDir(nullptr), 0},
        {"move a tree", HelpAPI::MoveDir(S(L"from").c_str(), S(L"to").c_str()), 1},
        {"no source: made", HelpAPI::MoveDir(S(L"nothing").c_str(), S(L"made").c_str()), 1},
        {"a file", HelpAPI::MoveDir(S(L"f.txt").c_str(), S(L"g.txt").c_str()), 1},
        {"cannot be made", HelpAPI::MoveDir(S(L"nothing").c_str(), S(L"no\\such\\x").c_str()), 0},
        {"unlink a folder too long to walk", HelpAPI::UnlinkDir(S(longest.c_str()).c_str()), 1},
        {"move a folder too long to walk",
         HelpAPI::MoveDir(S(longestMoved.c_str()).c_str(), S(L"moved").c_str()), 1},
        // Only an empty folder is removed: the one too long to walk stayed, empty.
        {"the folder too long to walk stays", ::RemoveDirectoryW(S(longestMoved.c_str()).c_str()),
         1},
    };
    for (const Row& r : rows) EXPECT_EQ(r.answer, r.expected) << r.name;
    EXPECT_EQ(Tree(),
              L"dots/ dots\\.hidden from/ from\\.keep from\\sub/ g.txt keep.txt! made/ "
              L"moved/ old.txt! to/ to\\a.txt to\\sub/ to\\sub\\b.txt! ");
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
        return std::wstring(static_cast<wchar_t*>(InternalCreateFile(parameter, RecordingCreate)));
    };
    EXPECT_EQ(seen(), L"\\kxtest\\own.bin 1073741824 1 0 2 128 0");
    ASSERT_EQ(KxConfig::SetBeRealTimeScan(1), 0);
    EXPECT_EQ(seen(), L"\\kxtest\\own.bin 1073741824 1 3 2 128 3");
    EXPECT_EQ(InternalCreateFile(parameter, nullptr), INVALID_HANDLE_VALUE);
}
