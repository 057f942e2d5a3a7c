#include "kxcommon/UI.h"

#include "../internal/kxplatform.h"

#include <cstdarg>
#include <cwchar>
#include <iterator>

namespace {

constexpr int kTitleChars = 1024;
constexpr int kFormatChars = 512;
constexpr int kBodyChars = 1024;
// Part of an over-long body kept from its end, and the mark put in place of what is left out.
constexpr int kTailChars = 20;
constexpr wchar_t kEllipsis[] = L"...";

// Formats into body[kBodyChars]: the characters written, the body being cut to 1023 characters
// when it does not fit.
int FormatBody(wchar_t* body, const wchar_t* format, va_list args) {
    const int written = _vsnwprintf(body, kBodyChars - 1, format, args);
    body[kBodyChars - 1] = L'\0';
    return written < 0 ? static_cast<int>(std::wcslen(body)) : written;
}

// Title and format from `module` (the resource module when null); the body formatted. False
// when no box is to be shown.
bool LoadAndFormat(HINSTANCE module, UINT titleId, UINT formatId, va_list args, wchar_t* title,
                   wchar_t* body) {
    title[0] = L'\0';
    wchar_t format[kFormatChars] = L"";
    if (module == nullptr) {
        if (titleId != 0) UI_LoadString(titleId, title, kTitleChars);
        UI_LoadString(formatId, format, kFormatChars);
    } else {
        if (titleId != 0 && ::LoadStringW(module, titleId, title, kTitleChars) <= 0)
            title[0] = L'\0';
        if (::LoadStringW(module, formatId, format, kFormatChars) <= 0) format[0] = L'\0';
    }
    if (format[0] == L'\0') return false;
    return FormatBody(body, format, args) > 0;
}

// Shortens a body too long for the small screen, in place: its head, "..." and its last
// characters.
void Trim(wchar_t* body, UINT style) {
    // A plain OK box leaves more room for text than one with a row of buttons.
    int limit = (style & 0x0F) == 0 ? 256 : 200;
    if (IsWideMode()) limit -= 20;
    const size_t chars = std::wcslen(body);
    if (static_cast<int>(chars) < limit) return;
    const size_t head = static_cast<size_t>(limit - kTailChars);
    // The tail moves first: it lies behind where the ellipsis goes.
    std::wmemmove(body + head + std::size(kEllipsis) - 1, body + chars - kTailChars,
                  kTailChars + 1);
    std::wmemcpy(body + head, kEllipsis, std::size(kEllipsis) - 1);
}

// The forms with identifiers: texts from `module` (the resource module when null).
int ShowLoaded(HWND owner, HINSTANCE module, UINT titleId, UINT formatId, UINT style, bool trim,
               va_list args) {
    wchar_t title[kTitleChars], body[kBodyChars];
    if (!LoadAndFormat(module, titleId, formatId, args, title, body)) return 0;
    if (trim) Trim(body, style);
    return ::MessageBoxW(owner, body, titleId != 0 ? title : nullptr, style);
}

}  // namespace

int UI_MsgBox(HWND owner, UINT titleId, UINT formatId, UINT style, ...) {
    va_list args;
    va_start(args, style);
    const int result = ShowLoaded(owner, nullptr, titleId, formatId, style, false, args);
    va_end(args);
    return result;
}

int UI_MsgBox(HWND owner, HINSTANCE instance, UINT titleId, UINT formatId, UINT style, ...) {
    // As for LoadStringW, a null instance is the executable itself.
    if (instance == nullptr) instance = ::GetModuleHandleW(nullptr);
    va_list args;
    va_start(args, style);
    const int result = ShowLoaded(owner, instance, titleId, formatId, style, false, args);
    va_end(args);
    return result;
}

int UI_MsgBox(HWND owner, LPCWSTR title, LPCWSTR format, UINT style, ...) {
    if (format == nullptr) return 0;
    wchar_t body[kBodyChars] = {};
    va_list args;
    va_start(args, style);
    FormatBody(body, format, args);
    va_end(args);
    return ::MessageBoxW(owner, body, title, style);
}

int UI_Trim_MsgBox(HWND owner, UINT titleId, UINT formatId, UINT style, ...) {
    va_list args;
    va_start(args, style);
    const int result = ShowLoaded(owner, nullptr, titleId, formatId, style, true, args);
    va_end(args);
    return result;
}

void UI_AddStringToLB(HWND listBox, ...) {
    if (listBox == nullptr) return;
    va_list ids;
    va_start(ids, listBox);
    for (UINT id = va_arg(ids, UINT); id != 0; id = va_arg(ids, UINT)) {
        wchar_t text[kTitleChars];
        UI_LoadString(id, text, kTitleChars);
        ::SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    va_end(ids);
}

bool IsWideMode() { return ::GetSystemMetrics(SM_CYSCREEN) < 320; }
