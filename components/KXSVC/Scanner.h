// The reference service's scanning: the EICAR test file, and files whose MD5 digest the pattern
// file lists. The pattern file is text, one entry a line:
//     version 312345                                  the pattern number
//     engine 1.2.0                                    the engine version text (11 characters)
//     md5 44d88612fea8a8f36de82e1278abb02f Name       a virus by its file's digest
// with '#' starting a comment. It is read again whenever it changes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kxsvc {

constexpr wchar_t kEicarName[] = L"EICAR-Test-File";

struct Verdict {
    bool infected = false;
    std::wstring virus;
    DWORD error = ERROR_SUCCESS;  // why the file could not be read
};

class Scanner {
public:
    Scanner() = default;
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    Verdict ScanFile(const std::wstring& path);
    // A text message carrying the EICAR string is infected.
    Verdict ScanText(const std::wstring& text);

    std::wstring EngineVersion();
    DWORD PatternVersion();
    // The EICAR test file first, then the pattern's viruses in file order.
    std::vector<std::wstring> Viruses();

private:
    struct Entry {
        std::string digest;  // 32 lower-case hex digits
        std::wstring name;
    };
    void Refresh();

    FILETIME loadedWrite_{};
    bool loaded_ = false;
    std::wstring engine_ = L"1.0.0";
    DWORD pattern_ = 0;
    std::vector<Entry> entries_;
    ULONG_PTR provider_ = 0;  // the cryptographic provider, acquired on first use
};

}  // namespace kxsvc
