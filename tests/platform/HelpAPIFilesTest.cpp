// Forced file operations and tree walks, on real files of the device.
#include "DeviceFixture.h"

#include <kxcommon/HelpAPI.h>

#include <sstream>

namespace {

class HelpAPIFilesTest : public kxtest::DeviceTest {};

// A folder whose path under \kxtest leaves no room for the walk's pattern (258 characters).
const std::wstring kLongFolder(250, L'L');

std::wstring Scratch(const std::wstring& relative) { return L"\\kxtest\\" + relative; }

// What every row starts from, under \kxtest: read-only files and folders holding read-only files
// and entries whose names start with a dot.
void MakeStartingTree() {
    kxtest::ResetDevice();
    ::CreateDirectoryW(kxtest::kScratchDir, nullptr);
    for (const wchar_t* folder : {L"tree", L"tree\\sub", L"dots", L"from", L"from\\sub"})
        ::CreateDirectoryW(Scratch(folder).c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryW(Scratch(kLongFolder).c_str(), nullptr));
    for (const wchar_t* file : {L"tree\\a.txt", L"dots\\.hidden", L"dots\\plain.txt",
                                L"from\\a.txt", L"from\\.keep", L"single.txt", L"new.txt"})
        kxtest::MakeScratchFile(file);
    for (const wchar_t* file :
         {L"ro.txt", L"old.txt", L"keep.txt", L"tree\\sub\\b.txt", L"from\\sub\\b.txt"})
        ::SetFileAttributesW(kxtest::MakeScratchFile(file).c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(Scratch(L"new.txt").c_str(), FILE_ATTRIBUTE_READONLY);
}

struct Operation {
    const char* name;
    int (*call)(const wchar_t* source, const wchar_t* destination);
};
const Operation kForceDelete{"ForceDeleteFile", [](const wchar_t* path, const wchar_t*) {
                                 return HelpAPI::ForceDeleteFile(path) != 0 ? 1 : 0;
                             }};
const Operation kForceMove{"ForceMoveFile", HelpAPI::ForceMoveFile};
const Operation kUnlink{
    "UnlinkDir", [](const wchar_t* path, const wchar_t*) { return HelpAPI::UnlinkDir(path); }};
const Operation kMoveDir{"MoveDir", HelpAPI::MoveDir};

struct FileOperationRow {
    const char* name;
    Operation operation;
    const wchar_t* source;       // under \kxtest; null: none
    const wchar_t* destination;  // under \kxtest
    int answer;
    std::vector<std::wstring> gone, present, readOnly;  // entries under \kxtest afterwards
};

::testing::AssertionResult Operates(const FileOperationRow& row) {
    MakeStartingTree();
    const std::wstring source = row.source ? Scratch(row.source) : L"";
    const std::wstring destination = row.destination ? Scratch(row.destination) : L"";
    const int answer = row.operation.call(row.source ? source.c_str() : nullptr,
                                          row.destination ? destination.c_str() : nullptr);
    std::ostringstream wrong;
    const auto attributes = [](const std::wstring& entry) {
        return ::GetFileAttributesW(Scratch(entry).c_str());
    };
    for (const std::wstring& entry : row.gone)
        if (attributes(entry) != INVALID_FILE_ATTRIBUTES)
            wrong << "; " << testing::PrintToString(entry) << " is still there";
    for (const std::wstring& entry : row.present)
        if (attributes(entry) == INVALID_FILE_ATTRIBUTES)
            wrong << "; " << testing::PrintToString(entry) << " is missing";
    for (const std::wstring& entry : row.readOnly)  // a missing entry's answer has every bit set
        if (attributes(entry) == INVALID_FILE_ATTRIBUTES ||
            !(attributes(entry) & FILE_ATTRIBUTE_READONLY))
            wrong << "; " << testing::PrintToString(entry) << " is missing or not read-only";
    if (answer == row.answer && wrong.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.operation.name << " for " << row.name << " answered " << answer << ", expected "
           << row.answer << wrong.str();
}

// Read-only files are deleted and moved over; a moved file keeps its attributes; a failed move
// leaves the source read-only as it was, and a missing source the destination. A tree with
// read-only files goes whole; entries whose names start with a dot are left while every other entry
// is still tried. MoveDir moves every entry but dot entries; the source folder stays; a missing
// source makes the destination. A folder too long to walk is removed by UnlinkDir when empty;
// MoveDir makes the destination and has nothing to move.
TEST_F(HelpAPIFilesTest, ForcedOperationsAndTreeWalks) {
    // clang-format off
    const FileOperationRow rows[] = {
        {.name = "a read-only file",            .operation = kForceDelete, .source = L"ro.txt", .answer = 1, .gone = {L"ro.txt"}},
        {.name = "a missing file",              .operation = kForceDelete, .source = L"absent", .answer = 0},
        {.name = "no path",                     .operation = kForceDelete, .answer = 0},
        {.name = "a file over a read-only one", .operation = kForceMove, .source = L"new.txt", .destination = L"old.txt",
         .answer = 1, .gone = {L"new.txt"}, .readOnly = {L"old.txt"}},
        {.name = "a missing folder",            .operation = kForceMove, .source = L"keep.txt", .destination = L"no\\such\\keep.txt",
         .answer = 0, .readOnly = {L"keep.txt"}},
        {.name = "a missing source",            .operation = kForceMove, .source = L"absent", .destination = L"old.txt", .answer = 0,
         .readOnly = {L"old.txt"}},
        {.name = "a tree with read-only files", .operation = kUnlink, .source = L"tree\\", .answer = 1, .gone = {L"tree"}},
        {.name = "a folder with a dot entry",   .operation = kUnlink, .source = L"dots", .answer = 0,
         .gone = {L"dots\\plain.txt"}, .present = {L"dots\\.hidden"}},
        {.name = "a file",                      .operation = kUnlink, .source = L"single.txt", .answer = 1, .gone = {L"single.txt"}},
        {.name = "a missing path",              .operation = kUnlink, .source = L"absent", .answer = 0},
        {.name = "no path",                     .operation = kUnlink, .answer = 0},
        {.name = "a tree",                      .operation = kMoveDir, .source = L"from", .destination = L"to", .answer = 1,
         .gone = {L"from\\a.txt", L"from\\sub\\b.txt"}, .present = {L"from\\.keep", L"to\\a.txt"}, .readOnly = {L"to\\sub\\b.txt"}},
        {.name = "a missing source",            .operation = kMoveDir, .source = L"nothing", .destination = L"made", .answer = 1,
         .present = {L"made"}},
        {.name = "a file",                      .operation = kMoveDir, .source = L"single.txt", .destination = L"g.txt", .answer = 1,
         .gone = {L"single.txt"}, .present = {L"g.txt"}},
        {.name = "a destination that cannot be made", .operation = kMoveDir, .source = L"nothing",
         .destination = L"no\\such\\x", .answer = 0},
        {.name = "an empty folder too long to walk",  .operation = kUnlink, .source = kLongFolder.c_str(), .answer = 1,
         .gone = {kLongFolder}},
        {.name = "a folder too long to walk",         .operation = kMoveDir, .source = kLongFolder.c_str(),
         .destination = L"moved", .answer = 1, .present = {kLongFolder, L"moved"}},
    };
    // clang-format on
    ASSERT_EQ(Scratch(kLongFolder).size(), 258u);
    for (const FileOperationRow& row : rows) EXPECT_TRUE(Operates(row));
}

// The arguments InternalCreateFile passed on.
struct CreateCall {
    std::wstring name;
    DWORD access = 0, share = 0, disposition = 0, flags = 0;
    uintptr_t security = 0, templateFile = 0;  // where the product's marker goes
    bool operator==(const CreateCall&) const = default;
};
CreateCall g_lastCreate;

HANDLE WINAPI RecordingCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    g_lastCreate = {
        name, access, share, disposition, flags, uintptr_t(sa), uintptr_t(templateFile)};
    return INVALID_HANDLE_VALUE;
}

std::ostream& operator<<(std::ostream& out, const CreateCall& call) {
    return out << testing::PrintToString(call.name) << " access 0x" << std::hex << call.access
               << " share " << call.share << " disposition " << call.disposition << " flags 0x"
               << call.flags << " security " << call.security << " template " << call.templateFile;
}

// The product marks its own creations (security and template 3) while real-time scanning is on.
TEST_F(HelpAPIFilesTest, InternalCreateFileMarksTheProductsOwnCreation) {
    const struct {
        int realTimeScan;
        CreateCall passed;
    } rows[] = {
        // clang-format off
        {.realTimeScan = 0, .passed = {L"\\kxtest\\own.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 128, 0, 0}},
        {.realTimeScan = 1, .passed = {L"\\kxtest\\own.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 128, 3, 3}},
        // clang-format on
    };
    for (const auto& row : rows) {
        ASSERT_EQ(KxConfig::SetBeRealTimeScan(row.realTimeScan), KX_OK);
        FileParameter parameter{
            L"\\kxtest\\own.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 128, 77, 88};
        InternalCreateFile(parameter, RecordingCreate);
        EXPECT_EQ(g_lastCreate, row.passed)
            << "what InternalCreateFile passed on with real-time scanning " << row.realTimeScan;
    }
    FileParameter parameter{L"\\kxtest\\own.bin", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, 0, 0};
    EXPECT_EQ(InternalCreateFile(parameter, nullptr), INVALID_HANDLE_VALUE)
        << "InternalCreateFile without a function to create with";
}

}  // namespace
