// The XML reader over the platform's DOM: searches, attributes, unreadable files, and the
// references that let lists, elements and copies outlive the document they came from.
#include "DeviceFixture.h"

#include <kxcommon/KxXml.h>

namespace {

class KxXmlTest : public kxtest::DeviceTest {};

unsigned short* Units(const wchar_t* text) { return (unsigned short*)text; }

// What one search found: the attribute of every element found, in order.
std::vector<std::wstring> Found(KxXmlDocument& document, const wchar_t* tag, const wchar_t* name) {
    KxXmlElementList list = document.FindElementByTag(Units(tag));
    std::vector<std::wstring> found;
    for (long i = 0; i < list.GetCount(); ++i) found.push_back(list[i].Attribute(Units(name)));
    return found;
}

const std::wstring kLong = std::wstring(1500, 'v') + L"w" + std::wstring(1499, 'v');
const std::string kCatalog =
    "<item name=\"root\"><item name=\"first\" empty=\"\"/><group><item "
    "name=\"nested\"/></group><!-- no element --><other name=\"x\" long=\"" +
    std::string(kLong.begin(), kLong.end()) + "\"/></item>";

struct SearchRow {
    const char* file;  // its content
    const wchar_t* tag;
    const wchar_t* attribute;
    std::vector<std::wstring> found;  // the attribute of each element found
};

::testing::AssertionResult Searches(const SearchRow& row) {
    KxXmlDocument document;
    const std::wstring path = kxtest::MakeScratchFile(L"doc.xml", row.file);
    const int loaded = document.LoadFile(Units(path.c_str()));
    const std::vector<std::wstring> found = Found(document, row.tag, row.attribute);
    // The element past the last one found has no attribute.
    KxXmlElementList list = document.FindElementByTag(Units(row.tag));
    const std::wstring past = list[list.GetCount()].Attribute(Units(row.attribute));
    if (loaded == 1 && found == row.found && past.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "in " << testing::PrintToString(row.file).substr(0, 50) << " LoadFile answered "
           << loaded << " and FindElementByTag(" << testing::PrintToString(row.tag)
           << ") gave the attributes " << testing::PrintToString(row.attribute) << " "
           << testing::PrintToString(found).substr(0, 200) << " and past them "
           << testing::PrintToString(past).substr(0, 50) << ", expected 1 and "
           << testing::PrintToString(row.found).substr(0, 200);
}

// Unreadable files load (the component reports them with a success code and a false flag) as a
// document without root, which every search answers with nothing. The document element is named
// "item" too, but is not its own descendant.
TEST_F(KxXmlTest, SearchesFindDescendantsInOrderWithTheirAttributes) {
    const char* catalog = kCatalog.c_str();
    // clang-format off
    const SearchRow rows[] = {
        {.file = catalog, .tag = L"item",    .attribute = L"name",  .found = {L"first", L"nested"}},
        {.file = catalog, .tag = L"*",       .attribute = L"name",  .found = {L"first", L"", L"nested", L"x"}},
        {.file = catalog, .tag = L"missing", .attribute = L"name",  .found = {}},
        {.file = catalog, .tag = L"item",    .attribute = L"empty", .found = {L"", L""}},
        {.file = catalog, .tag = L"item",    .attribute = nullptr,  .found = {L"", L""}},
        {.file = catalog, .tag = L"other",   .attribute = L"long",  .found = {kLong}},
        // A file that is not well formed stands for every file the component cannot read.
        {.file = "<a><i n=\"x\"></a>", .tag = L"*", .attribute = L"n", .found = {}},
    };
    // clang-format on
    for (const SearchRow& row : rows) EXPECT_TRUE(Searches(row));
    KxXmlDocument never;  // a document never loaded
    EXPECT_EQ(never.LoadFile(nullptr), 0) << "LoadFile without a path";
    EXPECT_EQ(Found(never, L"item", L"name"), std::vector<std::wstring>{})
        << "FindElementByTag on a document never loaded";
}

// Each wrapper holds its own reference: what came from a document stays valid after the document
// is loaded again or deleted, and copies (also onto themselves) keep what they copied.
TEST_F(KxXmlTest, ListsElementsAndCopiesOutliveTheirDocument) {
    const std::wstring one = kxtest::MakeScratchFile(L"one.xml", "<r><e n=\"1\"/><e n=\"2\"/></r>");
    const std::wstring two = kxtest::MakeScratchFile(L"two.xml", "<r><e n=\"3\"/></r>");
    const std::vector<std::wstring> ofOne = {L"1", L"2"};
    KxXmlElement kept;
    KxXmlElementList list;
    KxXmlDocument assigned;
    auto document = std::make_unique<KxXmlDocument>();
    ASSERT_EQ(document->LoadFile(Units(one.c_str())), 1);
    KxXmlDocument copy(*document);
    assigned = *document;
    assigned = assigned;
    list = document->FindElementByTag(Units(L"e"));
    kept = list[1];
    ASSERT_EQ(document->LoadFile(Units(two.c_str())), 1);
    EXPECT_EQ(Found(*document, L"e", L"n"), std::vector<std::wstring>{L"3"}) << "loaded again";
    document.reset();
    KxXmlElementList copied(list);
    copied = copied;
    kept = kept;
    KxXmlElement element(kept);
    EXPECT_EQ(copied.GetCount(), 2) << "a copied list after its document went";
    EXPECT_EQ(copied[0].Attribute(Units(L"n")), L"1") << "a copied list after its document went";
    EXPECT_EQ(element.Attribute(Units(L"n")), L"2") << "a copied element after its document went";
    EXPECT_EQ(Found(copy, L"e", L"n"), ofOne) << "a copy of the document deleted";
    EXPECT_EQ(Found(assigned, L"e", L"n"), ofOne) << "a document assigned the one deleted";
    assigned = KxXmlDocument();  // assigning an empty wrapper lets the document go
    EXPECT_EQ(Found(assigned, L"e", L"n"), std::vector<std::wstring>{}) << "an empty wrapper";
}

}  // namespace
