// The separated-value splitter: where fields begin and end, out-of-range reads and trimming of
// copies.
#include <kxcommon/CSV.h>

#include <gtest/gtest.h>

// The fields joined by '|', each read as stored and trimmed ("stored/trimmed"), and the reads
// before and after them.
static std::wstring Fields(const wchar_t* text, wchar_t separator) {
    const CSV csv(reinterpret_cast<const unsigned short*>(text), separator);
    std::wstring all = csv.get(-1, 0) + csv.get(csv.size(), 1);
    for (int i = 0; i < csv.size(); ++i) all += L"|" + csv.get(i, 0) + L"/" + csv.get(i, 7);
    return all;
}

TEST(CSV, SplitsAtEverySeparator) {
    struct Row {
        const wchar_t* text;
        wchar_t separator;
        const wchar_t* fields;
    } const rows[] = {
        {L"a,,c", L',', L"|a/a|/|c/c"},
        {L"a,b,", L',', L"|a/a|b/b"},  // a trailing separator adds no empty field
        {L",a", L',', L"|/|a/a"},
        {L"", L',', L""},
        {nullptr, L',', L""},
        {L"\"a,b\", c ", L',', L"|\"a/\"a|b\"/b\"| c /c"},  // no quoting; trimming on request
        {L" \tproxy.example \r\n,  ", L',', L"| \tproxy.example \r\n/proxy.example|  /"},
        {L"a\tb", L'\t', L"|a/a|b/b"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Fields(row.text, row.separator), row.fields)
            << "CSV of " << testing::PrintToString(row.text) << " split at "
            << testing::PrintToString(std::wstring(1, row.separator));
}
