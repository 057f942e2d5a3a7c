// The XML reader over the platform's DOM: searches, attributes, unreadable files, and the
// references that let lists, elements and copies outlive the document they came from.
#include "DeviceFixture.h"

#include <kxcommon/KxXml.h>

using kxtest::MakeScratchFile;

class KxXmlTest : public kxtest::DeviceTest {};

static unsigned short* U(const wchar_t* text) { return (unsigned short*)text; }

// One search as "count:" and the attribute of every element found and of the one past them.
static std::wstring Ask(KxXmlDocument& doc, const wchar_t* tag, const wchar_t* name) {
    KxXmlElementList list = doc.FindElementByTag(U(tag));
    std::wstring all = std::to_wstring(list.GetCount()) + L":";
    for (long i = 0; i <= list.GetCount(); ++i) all += list[i].Attribute(U(name)) + L",";
    return all;
}

static const std::wstring kLong = std::wstring(1500, 'v') + L"w" + std::wstring(1499, 'v');
static const std::string kCatalog =
    "<item name=\"root\"><item name=\"first\" empty=\"\"/><group><item "
    "name=\"nested\"/></group><!-- no element --><other name=\"x\" long=\"" +
    std::string(kLong.begin(), kLong.end()) + "\"/></item>";

// Unreadable files load (the component reports them with a success code and a false flag) as a
// document without root, which every search answers with nothing.
TEST_F(KxXmlTest, SearchesFindDescendantsInOrderWithTheirAttributes) {
    const char* catalog = kCatalog.c_str();
    const struct Row {
        const char *name, *file;  // file: its content; null: no file
        const wchar_t *tag, *attribute;
        std::wstring expected;
    } rows[] = {
        // The document element is named "item" too, but is not its own descendant; the element
        // past the last one found has no attribute.
        {"descendants in order", catalog, L"item", L"name", L"2:first,nested,,"},
        {"every element", catalog, L"*", L"name", L"4:first,,nested,x,,"},
        {"missing tag", catalog, L"missing", L"name", L"0:,"},
        {"empty attribute", catalog, L"item", L"empty", L"2:,,,"},
        {"no attribute name", catalog, L"item", nullptr, L"2:,,,"},
        {"long value", catalog, L"other", L"long", L"1:" + kLong + L",,"},
        {"missing file", nullptr, L"*", L"n", L"0:,"},
        // A file that is not well formed stands for every parse failure.
        {"unclosed element", "<a><i n=\"x\"></a>", L"*", L"n", L"0:,"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KxXmlDocument doc;
        const std::wstring path =
            row.file ? MakeScratchFile(L"doc.xml", row.file) : L"\\kxtest\\missing.xml";
        EXPECT_EQ(doc.LoadFile(U(path.c_str())), 1);
        EXPECT_EQ(Ask(doc, row.tag, row.attribute), row.expected);
    }
    KxXmlDocument never;  // a document never loaded
    EXPECT_EQ(std::to_wstring(never.LoadFile(nullptr)) + Ask(never, L"item", L"name"), L"00:,");
}

// Each wrapper holds its own reference: what came from a document stays valid after the document
// is loaded again or deleted, and copies (also onto themselves) keep what they copied.
TEST_F(KxXmlTest, ListsElementsAndCopiesOutliveTheirDocument) {
    const std::wstring one = MakeScratchFile(L"one.xml", "<r><e n=\"1\"/><e n=\"2\"/></r>");
    KxXmlElement kept;
    KxXmlElementList list;
    KxXmlDocument assigned, *doc = new KxXmlDocument;
    ASSERT_EQ(doc->LoadFile(U(one.c_str())), 1);
    KxXmlDocument copy(*doc);
    assigned = *doc;
    assigned = assigned;
    list = doc->FindElementByTag(U(L"e"));
    kept = list[1];
    ASSERT_EQ(doc->LoadFile(U(MakeScratchFile(L"two.xml", "<r><e n=\"3\"/></r>").c_str())), 1);
    EXPECT_EQ(Ask(*doc, L"e", L"n"), L"1:3,,");
    delete doc;
    KxXmlElementList copied(list);
    copied = copied;
    kept = kept;
    KxXmlElement element(kept);
    EXPECT_EQ(std::to_wstring(copied.GetCount()) + copied[0].Attribute(U(L"n")) +
                  element.Attribute(U(L"n")) + Ask(copy, L"e", L"n") + Ask(assigned, L"e", L"n"),
              L"2122:1,2,,2:1,2,,");
    // Assigning an empty wrapper lets the document go.
    assigned = KxXmlDocument();
    EXPECT_EQ(Ask(assigned, L"e", L"n"), L"0:,");
}
