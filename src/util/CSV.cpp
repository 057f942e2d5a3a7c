#include "kxcommon/CSV.h"

#include "kxcommon/HelpAPI.h"

#include "../internal/Boundary.h"
#include "SplitFields.h"

static_assert(sizeof(wchar_t) == sizeof(unsigned short), "fields are UTF-16 wide strings");

CSV::CSV(const unsigned short* text, unsigned short separator) {
    // Split into a list of its own, which becomes the fields only when whole: without memory
    // the record has no fields.
    kx::Boundary([&] {
        m_fields = kx::SplitFields(reinterpret_cast<const wchar_t*>(text),
                                   static_cast<wchar_t>(separator));
    });
}

CSV::CSV(const CSV& other) noexcept { *this = other; }

CSV& CSV::operator=(const CSV& other) noexcept {
    if (this == &other) return *this;
    // Copied apart first: the fields change only when the copy is whole.
    kx::Boundary([&] {
        std::vector<std::wstring> copy = other.m_fields;
        m_fields.swap(copy);
    });
    return *this;
}

CSV::CSV(CSV&& other) noexcept = default;
CSV& CSV::operator=(CSV&& other) noexcept = default;
CSV::~CSV() = default;

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
