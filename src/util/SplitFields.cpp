#include "SplitFields.h"

namespace kx {

std::vector<std::wstring> SplitFields(const wchar_t* text, wchar_t separator) {
    std::vector<std::wstring> fields;
    if (text == nullptr) return fields;
    const std::wstring whole(text);
    size_t start = 0;
    for (size_t p = whole.find(separator); p != std::wstring::npos;
         p = whole.find(separator, start)) {
        fields.push_back(whole.substr(start, p - start));
        start = p + 1;
    }
    if (start < whole.size()) fields.push_back(whole.substr(start));
    return fields;
}

}  // namespace kx
