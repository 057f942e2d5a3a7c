// The separated-value splitter: any text at any separator. No field holds the separator, and the
// fields joined by it give back the text, less one trailing separator.
#include "../src/util/SplitFields.h"

#include "FuzzCheck.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const wchar_t separator = static_cast<wchar_t>(TakeUnit(&data, &size));
    const std::vector<wchar_t> text = TakeWideText(data, size);
    const std::vector<std::wstring> fields = kx::SplitFields(text.data(), separator);

    const std::wstring whole(text.data());
    std::wstring joined;
    for (size_t i = 0; i < fields.size(); ++i) {
        KX_FUZZ_CHECK(fields[i].find(separator) == std::wstring::npos);
        if (i != 0) joined += separator;
        joined += fields[i];
    }
    if (whole.empty()) {
        KX_FUZZ_CHECK(fields.empty());
    } else if (whole.back() == separator) {
        KX_FUZZ_CHECK(joined == whole.substr(0, whole.size() - 1));
        KX_FUZZ_CHECK(!fields.empty());
    } else {
        KX_FUZZ_CHECK(joined == whole);
    }
    KX_FUZZ_CHECK(kx::SplitFields(nullptr, separator).empty());
    return 0;
}
