// The separated-value splitter: where fields begin and end, out-of-range reads, trimming of
// copies, and value semantics.
#include <kxcommon/CSV.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const unsigned short* U(const wchar_t* text) {
    return reinterpret_cast<const unsigned short*>(text);
}

std::vector<std::wstring> Fields(const wchar_t* text, wchar_t separator = L',') {
    CSV csv(U(text), static_cast<unsigned short>(separator));
    std::vector<std::wstring> fields;
    for (int i = 0; i < csv.size(); ++i) fields.push_back(csv.get(i, 0));
    return fields;
}

using F = std::vector<std::wstring>;

TEST(CSV, SplitsAtEverySeparator) {
    const struct {
        const wchar_t* text;
        F fields;
    } cases[] = {
        {L"a,b,c", {L"a", L"b", L"c"}},
        {L"a,,c", {L"a", L"", L"c"}},
        {L"a,b,", {L"a", L"b"}},  // a trailing separator adds no empty field
        {L",a", {L"", L"a"}},
        {L",", {L""}},
        {L",,", {L"", L""}},
        {L"", {}},
        {L"x;y", {L"x;y"}},
        {L"\"a,b\", c ", {L"\"a", L"b\"", L" c "}},  // no quoting, no trimming
        {L"192.168.0.1:8080", {L"192.168.0.1:8080"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fields(c.text), c.fields) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(Fields(L"a\tb", L'\t'), (F{L"a", L"b"}));
    EXPECT_EQ(CSV(nullptr, L',').size(), 0);
}

TEST(CSV, GetOutsideTheFieldsIsEmpty) {
    CSV csv(U(L"a,b"), L',');
    EXPECT_EQ(csv.get(-1, 0), L"");
    EXPECT_EQ(csv.get(2, 1), L"");
    EXPECT_EQ(csv.get(1, 0), L"b");
}

TEST(CSV, TrimmedReadsLeaveTheStoredFieldAlone) {
    CSV csv(U(L" \tproxy.example \r\n,  ,x"), L',');
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv.get(0, 1), L"proxy.example");
    EXPECT_EQ(csv.get(0, 0), L" \tproxy.example \r\n");
    EXPECT_EQ(csv.get(1, 7), L"") << "white space only trims to nothing";
    EXPECT_EQ(csv.Vector()[0], L" \tproxy.example \r\n");
}

TEST(CSV, CopiesAreDeepAndTheVectorIsTheFieldsThemselves) {
    CSV original(U(L"a,b"), L',');
    CSV copy(original);
    CSV assigned(U(L"z"), L',');
    assigned = original;
    original.Vector()[0] = L"changed";
    original.Vector().push_back(L"c");
    EXPECT_EQ(original.size(), 3);
    EXPECT_EQ(original.get(0, 0), L"changed");
    EXPECT_EQ(copy.size(), 2);
    EXPECT_EQ(copy.get(0, 0), L"a");
    EXPECT_EQ(assigned.get(0, 0), L"a");
    EXPECT_EQ(assigned.size(), 2);
}

}  // namespace
