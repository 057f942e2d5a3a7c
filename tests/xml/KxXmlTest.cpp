// The XML reader over the platform's DOM: searches, attributes, unreadable files, and the
// references that let lists, elements and copies outlive the document they came from.
#include "DeviceFixture.h"

#include <kxcommon/KxXml.h>

#include <string>

namespace {

using kxtest::MakeScratchFile;

class KxXmlTest : public kxtest::DeviceTest {};

unsigned short* U(const wchar_t* text) {
    return reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(text));
}
unsigned short* U(const std::wstring& text) { return U(text.c_str()); }

// One search as "count:attribute of the element at index".
std::wstring Ask(KxXmlDocument& doc, const wchar_t* tag, unsigned index, const wchar_t* name) {
    KxXmlElementList list = doc.FindElementByTag(U(tag));
    return std::to_wstring(list.GetCount()) + L":" +
           list[index].Attribute(name ? U(name) : nullptr);
}

TEST_F(KxXmlTest, SearchesFindDescendantsInOrderWithTheirAttributes) {
    const std::string longValue = std::string(1500, 'v') + "w" + std::string(1499, 'v');
    const std::wstring path =
        MakeScratchFile(L"catalog.xml",
                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<item name=\"root\">"
                        "<item name=\"first\" empty=\"\"/><group><item name=\"nested\" "
                        "text=\"a &amp; b &lt; c\"/></group><!-- a comment is no element -->"
                        "<other name=\"x\" long=\"" +
                            longValue + "\"/></item>");
    KxXmlDocument doc, neverLoaded;
    ASSERT_EQ(doc.LoadFile(U(path)), 1);
    EXPECT_EQ(neverLoaded.LoadFile(nullptr), 0);
    struct Row {
        const char* name;
        KxXmlDocument* doc;
        const wchar_t *tag, *attribute;
        unsigned index;
        std::wstring expected;
    } const rows[] = {
        // The document element is named "item" too, but is not its own descendant.
        {"first descendant", &doc, L"item", L"name", 0, L"2:first"},
        {"in document order", &doc, L"item", L"name", 1, L"2:nested"},
        {"index equal to the count", &doc, L"item", L"name", 2, L"2:"},
        {"largest index", &doc, L"item", L"name", 0xFFFFFFFFu, L"2:"},
        {"every element", &doc, L"*", L"name", 3, L"4:x"},
        {"missing tag", &doc, L"missing", L"name", 0, L"0:"},
        {"tags are exact", &doc, L"ITEM", L"name", 0, L"0:"},
        {"empty attribute", &doc, L"item", L"empty", 0, L"2:"},
        {"absent attribute", &doc, L"item", L"absent", 0, L"2:"},
        {"no attribute name", &doc, L"item", nullptr, 0, L"2:"},
        {"entities decoded", &doc, L"item", L"text", 1, L"2:a & b < c"},
        // Longer than the 1023 characters of a formatted value: returned whole.
        {"long value", &doc, L"other", L"long", 0,
         L"1:" + std::wstring(longValue.begin(), longValue.end())},
        {"never loaded", &neverLoaded, L"item", L"name", 0, L"0:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Ask(*row.doc, row.tag, row.index, row.attribute), row.expected);
    }
}

// The component reports these with a success code and a false flag: a document without root.
TEST_F(KxXmlTest, UnreadableFilesLoadAsEmptyDocuments) {
    const struct {
        const char* name;
        const char* content;  // null: no file
    } rows[] = {{"missing file", nullptr},
                {"unclosed element", "<a><i n=\"x\"></a>"},
                {"not XML", "plain text"},
                {"empty file", ""},
                {"unquoted attribute", "<a><i n=x/></a>"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring path = row.content ? MakeScratchFile(L"bad.xml", row.content)
                                              : std::wstring(L"\\kxtest\\missing.xml");
        KxXmlDocument doc;
        EXPECT_EQ(doc.LoadFile(U(path)), 1);
        EXPECT_EQ(Ask(doc, L"*", 0, L"n"), L"0:");
    }
}

// Each wrapper holds its own reference: what came from a document stays valid after the document
// is loaded again or deleted, and copies (also onto themselves) keep what they copied.
TEST_F(KxXmlTest, ListsElementsAndCopiesOutliveTheirDocument) {
    const std::wstring one = MakeScratchFile(L"one.xml", "<r><e n=\"1\"/><e n=\"2\"/></r>");
    const std::wstring two = MakeScratchFile(L"two.xml", "<r><e n=\"3\"/></r>");
    KxXmlElement kept;
    KxXmlElementList keptList;
    KxXmlDocument assigned;
    auto* doc = new KxXmlDocument;
    ASSERT_EQ(doc->LoadFile(U(one)), 1);
    KxXmlDocument copy(*doc);
    assigned = *doc;
    assigned = assigned;
    keptList = doc->FindElementByTag(U(L"e"));
    kept = keptList[1];
    ASSERT_EQ(doc->LoadFile(U(two)), 1);
    EXPECT_EQ(Ask(*doc, L"e", 0, L"n"), L"1:3");
    delete doc;
    KxXmlElementList copiedList(keptList);
    copiedList = copiedList;
    kept = kept;
    KxXmlElement copiedElement(kept);
    EXPECT_EQ(std::to_wstring(copiedList.GetCount()) + copiedList[0].Attribute(U(L"n")) +
                  copiedElement.Attribute(U(L"n")) + kept.Attribute(U(L"n")),
              L"2122");
    EXPECT_EQ(Ask(copy, L"e", 1, L"n") + Ask(assigned, L"e", 0, L"n"), L"2:22:1");
    // Assigning an empty wrapper lets the document go.
    assigned = KxXmlDocument();
    EXPECT_EQ(Ask(assigned, L"e", 0, L"n"), L"0:");
}

}  // namespace
