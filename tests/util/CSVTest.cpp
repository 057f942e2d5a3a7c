// The separated-value splitter: where fields begin and end, out-of-range reads and trimming of
// copies.
#include <kxcommon/CSV.h>

#include <gtest/gtest.h>

// A field as read: as stored, and trimmed.
struct Field {
    std::wstring stored, trimmed;
    bool operator==(const Field&) const = default;
};
static void PrintTo(const Field& field, std::ostream* out) {
    *out << testing::PrintToString(field.stored) << " trimmed "
         << testing::PrintToString(field.trimmed);
}

// The fields of a text; reads before the first and after the last give nothing.
static std::vector<Field> Fields(const wchar_t* text, wchar_t separator) {
    const CSV csv(reinterpret_cast<const unsigned short*>(text), separator);
    std::vector<Field> fields;
    for (int i = 0; i < csv.size(); ++i) fields.push_back({csv.get(i, 0), csv.get(i, 7)});
    EXPECT_EQ(csv.get(-1, 0) + csv.get(csv.size(), 1), L"") << "CSV::get outside its fields";
    return fields;
}

TEST(CSV, SplitsAtEverySeparator) {
    struct Row {
        const wchar_t* text;
        wchar_t separator;
        std::vector<Field> fields;
    } const rows[] = {
        // clang-format off
        {.text = L"a,,c", .separator = L',', .fields = {{L"a", L"a"}, {L"", L""}, {L"c", L"c"}}},
        {.text = L"a,b,", .separator = L',', .fields = {{L"a", L"a"}, {L"b", L"b"}}},  // a trailing separator adds no field
        {.text = L",a",   .separator = L',', .fields = {{L"", L""}, {L"a", L"a"}}},
        {.text = L"",     .separator = L',', .fields = {}},
        {.text = nullptr, .separator = L',', .fields = {}},
        {.text = L"\"a,b\", c ", .separator = L',',  // no quoting; trimming on request
         .fields = {{L"\"a", L"\"a"}, {L"b\"", L"b\""}, {L" c ", L"c"}}},
        {.text = L" \tproxy.example \r\n,  ", .separator = L',',
         .fields = {{L" \tproxy.example \r\n", L"proxy.example"}, {L"  ", L""}}},
        {.text = L"a\tb", .separator = L'\t', .fields = {{L"a", L"a"}, {L"b", L"b"}}},
        // clang-format on
    };
    for (const Row& row : rows)
        EXPECT_EQ(Fields(row.text, row.separator), row.fields)
            << "CSV of " << testing::PrintToString(row.text) << " split at "
            << testing::PrintToString(std::wstring(1, row.separator));
}
