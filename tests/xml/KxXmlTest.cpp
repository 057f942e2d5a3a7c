// The XML reader over the platform's DOMDocument: loading, searching, attributes, and the
// reference counting that lets lists and elements outlive their document wrapper.
#include "DeviceFixture.h"

#include <kxcommon/KxXml.h>

#include <string>

namespace {

using kxtest::MakeScratchFile;

class KxXmlTest : public kxtest::DeviceTest {};

unsigned short* U(const wchar_t* text) {
    return reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(text));
}
const unsigned short* U(const std::wstring& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

const char kCatalog[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<item name=\"root\">\n"
    "  <item name=\"first\" empty=\"\"/>\n"
    "  <group><item name=\"nested\" text=\"a &amp; b &lt; c\"/></group>\n"
    "  <!-- a comment is no element -->\n"
    "  <other name=\"x\"/>\n"
    "</item>\n";

TEST_F(KxXmlTest, EmptyWrappersAnswerNothing) {
    KxXmlElementList list;
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list[0].Attribute(U(L"name")), L"");

    KxXmlElement element;
    EXPECT_EQ(element.Attribute(U(L"name")), L"");

    KxXmlDocument neverLoaded;
    EXPECT_EQ(neverLoaded.FindElementByTag(U(L"item")).GetCount(), 0);
    EXPECT_EQ(neverLoaded.LoadFile(nullptr), 0);
}

TEST_F(KxXmlTest, SearchCoversDescendantsInDocumentOrder) {
    const std::wstring path = MakeScratchFile(L"catalog.xml", kCatalog);
    KxXmlDocument document;
    ASSERT_EQ(document.LoadFile(U(path)), 1);

    // The document element is named "item" too, but is not its own descendant.
    KxXmlElementList items = document.FindElementByTag(U(L"item"));
    ASSERT_EQ(items.GetCount(), 2);
    EXPECT_EQ(items[0].Attribute(U(L"name")), L"first");
    EXPECT_EQ(items[1].Attribute(U(L"name")), L"nested");
    EXPECT_EQ(items[2].Attribute(U(L"name")), L"") << "a position equal to the count";
    EXPECT_EQ(items[0xFFFFFFFFu].Attribute(U(L"name")), L"");

    EXPECT_EQ(document.FindElementByTag(U(L"*")).GetCount(), 4);
    EXPECT_EQ(document.FindElementByTag(U(L"missing")).GetCount(), 0);
    EXPECT_EQ(document.FindElementByTag(U(L"ITEM")).GetCount(), 0) << "tag names are exact";
}

TEST_F(KxXmlTest, AttributesReadBackAsWritten) {
    std::string longValue(3000, 'v');
    longValue[1500] = 'w';
    const std::wstring path = MakeScratchFile(
        L"attrs.xml", std::string(kCatalog).replace(std::string(kCatalog).find("<other"), 6,
                                                    "<other long=\"" + longValue + "\""));
    KxXmlDocument document;
    ASSERT_EQ(document.LoadFile(U(path)), 1);
    KxXmlElement first = document.FindElementByTag(U(L"item"))[0];
    EXPECT_EQ(first.Attribute(U(L"empty")), L"");
    EXPECT_EQ(first.Attribute(U(L"absent")), L"");
    EXPECT_EQ(first.Attribute(nullptr), L"");
    EXPECT_EQ(document.FindElementByTag(U(L"item"))[1].Attribute(U(L"text")), L"a & b < c");
    // Longer than the 1023 characters of a formatted value: returned whole.
    const std::wstring read = document.FindElementByTag(U(L"other"))[0].Attribute(U(L"long"));
    EXPECT_EQ(read, std::wstring(longValue.begin(), longValue.end()));
}

TEST_F(KxXmlTest, UnreadableFilesLoadWithoutRoot) {
    struct Case {
        const char* what;
        const wchar_t* name;
        const char* content;  // null: no file
    };
    const Case cases[] = {
        {"missing file", L"missing.xml", nullptr},
        {"unclosed element", L"bad1.xml", "<a><item name=\"x\"></a>"},
        {"not XML", L"bad2.xml", "plain text"},
        {"empty file", L"bad3.xml", ""},
        {"unquoted attribute", L"bad4.xml", "<a><item name=x/></a>"},
    };
    for (const Case& c : cases) {
        const std::wstring path = c.content != nullptr ? MakeScratchFile(c.name, c.content)
                                                       : std::wstring(L"\\kxtest\\") + c.name;
        KxXmlDocument document;
        // The component reports these with a success code and a false flag.
        EXPECT_EQ(document.LoadFile(U(path)), 1) << c.what;
        EXPECT_EQ(document.FindElementByTag(U(L"*")).GetCount(), 0) << c.what;
    }
}

TEST_F(KxXmlTest, ListsAndElementsOutliveTheirDocument) {
    const std::wstring one = MakeScratchFile(L"one.xml", "<r><e n=\"1\"/><e n=\"2\"/></r>");
    const std::wstring two = MakeScratchFile(L"two.xml", "<r><e n=\"3\"/></r>");

    KxXmlElement kept;
    KxXmlElementList keptList;
    {
        KxXmlDocument document;
        ASSERT_EQ(document.LoadFile(U(one)), 1);
        keptList = document.FindElementByTag(U(L"e"));
        kept = keptList[1];
        // A second load replaces the document; what came from the first stays valid.
        ASSERT_EQ(document.LoadFile(U(two)), 1);
        EXPECT_EQ(document.FindElementByTag(U(L"e")).GetCount(), 1);
        EXPECT_EQ(document.FindElementByTag(U(L"e"))[0].Attribute(U(L"n")), L"3");
        EXPECT_EQ(kept.Attribute(U(L"n")), L"2");
    }
    EXPECT_EQ(kept.Attribute(U(L"n")), L"2");
    EXPECT_EQ(keptList.GetCount(), 2);
    EXPECT_EQ(keptList[0].Attribute(U(L"n")), L"1");
}

TEST_F(KxXmlTest, CopiesShareAndAssignmentIsSafe) {
    const std::wstring path = MakeScratchFile(L"c.xml", "<r><e n=\"1\"/></r>");
    KxXmlDocument* original = new KxXmlDocument;
    ASSERT_EQ(original->LoadFile(U(path)), 1);
    KxXmlDocument copy(*original);
    KxXmlDocument assigned;
    assigned = *original;
    assigned = assigned;
    delete original;
    EXPECT_EQ(copy.FindElementByTag(U(L"e"))[0].Attribute(U(L"n")), L"1");
    EXPECT_EQ(assigned.FindElementByTag(U(L"e"))[0].Attribute(U(L"n")), L"1");
    // Assigning an empty wrapper lets the document go.
    assigned = KxXmlDocument();
    EXPECT_EQ(assigned.FindElementByTag(U(L"e")).GetCount(), 0);

    KxXmlElementList list = copy.FindElementByTag(U(L"e"));
    list = list;
    KxXmlElement element = list[0];
    element = element;
    KxXmlElement other(element);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(other.Attribute(U(L"n")), L"1");
}

}  // namespace
