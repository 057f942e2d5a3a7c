// kxctl md5 and b64: the library's MD5 digest and Base64 codec on device files and texts.
#include "Commands.h"

#include <kxcommon/B64.h>
#include <kxcommon/MD5.h>

#include <windows.h>

#include <string>
#include <vector>

namespace kxctl {
namespace {

const wchar_t kMd5Usage[] = L"usage: kxctl md5 FILE";
const wchar_t kB64Usage[] =
    L"usage: kxctl b64 encode FILE\n"
    L"       kxctl b64 decode TEXT [FILE]";

constexpr size_t kDigestBytes = 16;

int Failed(const std::wstring& message) {
    PrintError(L"kxctl: " + message);
    return kExitFailed;
}

bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* data) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;  // 1 GiB at most
    if (ok) {
        data->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = data->empty() ||
             (::ReadFile(file, data->data(), static_cast<DWORD>(data->size()), &got, nullptr) &&
              got == data->size());
    }
    ::CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, const unsigned char* data, size_t size) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

int Encode(const Args& args) {
    if (args.size() != 1) return UsageError(kB64Usage);
    std::vector<unsigned char> data;
    if (!ReadWholeFile(args[0], &data)) return Failed(L"cannot read " + args[0]);
    // The codec refuses empty data; its encoding is the empty text.
    if (data.empty()) {
        Print(L"");
        return kExitOk;
    }
    std::vector<unsigned short> text((data.size() + 2) / 3 * 4 + 1);
    if (B64::BinaryToBase64(data.data(), static_cast<unsigned long>(data.size()), text.data(),
                            static_cast<unsigned int>(text.size())) == 0)
        return Failed(L"encoding " + args[0] + L" failed");
    Print(reinterpret_cast<const wchar_t*>(text.data()));
    return kExitOk;
}

int Decode(const Args& args) {
    if (args.size() != 1 && args.size() != 2) return UsageError(kB64Usage);
    const std::wstring& text = args[0];
    std::vector<unsigned short> units(text.begin(), text.end());
    units.push_back(0);
    std::vector<unsigned char> data(text.size() / 4 * 3 + 1);
    const int decoded =
        B64::Base64ToBinary(units.data(), data.data(), static_cast<unsigned int>(data.size()));
    if (decoded <= 0) return Failed(L"nothing decoded (the text must be whole groups of 4)");
    if (args.size() == 1) {
        Print(HexBytes(data.data(), static_cast<size_t>(decoded), L" "));
        return kExitOk;
    }
    if (!WriteWholeFile(args[1], data.data(), static_cast<size_t>(decoded)))
        return Failed(L"cannot write " + args[1]);
    Print(L"written: " + args[1] + L" (" + std::to_wstring(decoded) + L" bytes)");
    return kExitOk;
}

}  // namespace

int RunMd5(const Args& args) {
    if (args.size() != 1) return UsageError(kMd5Usage);
    const unsigned char* digest = MD5File(reinterpret_cast<const unsigned short*>(args[0].c_str()));
    if (digest == nullptr) return Failed(L"cannot open " + args[0]);
    Print(HexBytes(digest, kDigestBytes, L""));
    return kExitOk;
}

int RunB64(const Args& args) {
    if (args.empty()) return UsageError(kB64Usage);
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == L"encode") return Encode(rest);
    if (args[0] == L"decode") return Decode(rest);
    return UsageError(L"unknown b64 verb '" + args[0] + L"'\n" + kB64Usage);
}

}  // namespace kxctl
