#include "kxcommon/CSV.h"

#include "kxcommon/HelpAPI.h"

#include "../internal/Boundary.h"

static_assert(sizeof(wchar_t) == sizeof(unsigned short), "fields are UTF-16 wide strings");

CSV::CSV(const unsigned short* text, unsigned short separator) {
    if (text == nullptr) return;
    // Split into a list of its own, which becomes the fields only when whole: without memory
    // the record has no fields.
    kx::Boundary([&] {
        const std::wstring whole(reinterpret_cast<const wchar_t*>(text));
        const wchar_t sep = static_cast<wchar_t>(separator);
        std::vector<std::wstring> fields;
        size_t start = 0;
        for (size_t p = whole.find(sep); p != std::wstring::npos; p = whole.find(sep, start)) {
            fields.push_back(whole.substr(start, p - start));
            start = p + 1;
        }
        if (start < whole.size()) fields.push_back(whole.substr(start));
        m_fields.swap(fields);
    });
}

int CSV::size() const { return static_cast<int>(m_fields.size()); }

std::wstring CSV::get(int index, int trim) const {
    if (index < 0 || index >= size()) return std::wstring();
    return kx::Boundary(std::wstring(), [&] {
        std::wstring field = m_fields[static_cast<size_t>(index)];
        if (trim != 0) HelpAPI::Str_TrimAll(field);
        return field;
    });
}

std::vector<std::wstring>& CSV::Vector() { return m_fields; }
