#include "Scanner.h"

#include "ServiceFiles.h"
#include "Utf8.h"
#include "internal/ScopedHandle.h"

#include <wincrypt.h>

#include <cstring>
#include <sstream>

namespace kxsvc {
namespace {

// The standard anti-virus test file: these 68 characters, optionally followed by white space,
// in a file of at most 128 bytes.
constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr size_t kEicarLength = sizeof kEicar - 1;
constexpr DWORD kEicarMaxFile = 128;
constexpr size_t kEngineChars = 11;
constexpr DWORD kReadChunk = 64 * 1024;

kx::UniqueFile OpenForReading(const std::wstring& path) {
    return kx::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsEicar(const char* data, size_t size) {
    if (size < kEicarLength || size > kEicarMaxFile) return false;
    if (std::memcmp(data, kEicar, kEicarLength) != 0) return false;
    for (size_t i = kEicarLength; i < size; ++i)
        if (data[i] != ' ' && data[i] != '\t' && data[i] != '\r' && data[i] != '\n' &&
            data[i] != 0x1A)
            return false;
    return true;
}

// The file's MD5 digest in lower-case hex, through the platform's cryptographic provider;
// empty when the file cannot be read. The first bytes of the file land in `head`.
std::string Md5Hex(HCRYPTPROV provider, HANDLE file, std::string* head) {
    HCRYPTHASH hash = 0;
    std::string hex;
    if (::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        std::string chunk(kReadChunk, '\0');
        DWORD got = 0;
        bool ok = true;
        while ((ok = ::ReadFile(file, &chunk[0], kReadChunk, &got, nullptr) != FALSE) && got > 0) {
            if (head->size() <= kEicarMaxFile)
                head->append(chunk.data(), got < kEicarMaxFile + 1 ? got : kEicarMaxFile + 1);
            ::CryptHashData(hash, reinterpret_cast<const BYTE*>(chunk.data()), got, 0);
        }
        BYTE digest[16];
        DWORD size = sizeof digest;
        if (ok && ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            static const char kDigits[] = "0123456789abcdef";
            for (BYTE b : digest) {
                hex += kDigits[b >> 4];
                hex += kDigits[b & 0xF];
            }
        }
        ::CryptDestroyHash(hash);
    }
    return hex;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

Scanner::~Scanner() {
    if (provider_ != 0) ::CryptReleaseContext(provider_, 0);
}

void Scanner::Refresh() {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(kPatternFile, GetFileExInfoStandard, &info)) {
        loaded_ = false;
        engine_ = L"1.0.0";
        pattern_ = 0;
        entries_.clear();
        return;
    }
    if (loaded_ && ::CompareFileTime(&info.ftLastWriteTime, &loadedWrite_) == 0) return;

    const kx::UniqueFile file = OpenForReading(kPatternFile);
    if (!file) return;
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);

    engine_ = L"1.0.0";
    pattern_ = 0;
    entries_.clear();
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword) || keyword[0] == '#') continue;
        if (keyword == "version") {
            words >> pattern_;
        } else if (keyword == "engine") {
            std::string engine;
            if (words >> engine) engine_ = FromUtf8(engine).substr(0, kEngineChars);
        } else if (keyword == "md5") {
            std::string digest, name;
            words >> digest;
            std::getline(words >> std::ws, name);
            while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) name.pop_back();
            if (digest.size() == 32 && !name.empty())
                entries_.push_back({Lower(digest), FromUtf8(name)});
        }
    }
    loadedWrite_ = info.ftLastWriteTime;
    loaded_ = true;
}

Verdict Scanner::ScanFile(const std::wstring& path) {
    Refresh();
    Verdict verdict;
    const kx::UniqueFile file = OpenForReading(path);
    if (!file) {
        verdict.error = ::GetLastError();
        return verdict;
    }
    // The provider is acquired once: acquiring it costs more than hashing a small file.
    if (provider_ == 0 &&
        !::CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        provider_ = 0;
    std::string head;
    const std::string digest =
        provider_ != 0 ? Md5Hex(provider_, file.Get(), &head) : std::string();
    if (digest.empty()) {
        verdict.error = ERROR_READ_FAULT;
        return verdict;
    }
    if (IsEicar(head.data(), head.size())) {
        verdict.infected = true;
        verdict.virus = kEicarName;
        return verdict;
    }
    for (const Entry& entry : entries_) {
        if (entry.digest == digest) {
            verdict.infected = true;
            verdict.virus = entry.name;
            break;
        }
    }
    return verdict;
}

Verdict Scanner::ScanText(const std::wstring& text) {
    Verdict verdict;
    const std::wstring eicar(kEicar, kEicar + kEicarLength);
    if (text.find(eicar) != std::wstring::npos) {
        verdict.infected = true;
        verdict.virus = kEicarName;
    }
    return verdict;
}

std::wstring Scanner::EngineVersion() {
    Refresh();
    return engine_;
}

DWORD Scanner::PatternVersion() {
    Refresh();
    return pattern_;
}

std::vector<std::wstring> Scanner::Viruses() {
    Refresh();
    std::vector<std::wstring> names{kEicarName};
    for (const Entry& entry : entries_) names.push_back(entry.name);
    return names;
}

}  // namespace kxsvc
