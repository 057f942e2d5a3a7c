// The operator's subscription file, edited through the platform's XML DOM and read back with
// the library's XML reader.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>
#include <kxcommon/KxXml.h>

#include <string>

namespace {

constexpr wchar_t kAppDir[] = L"\\kxtest";  // read once per process: the same in every test
constexpr wchar_t kSubscription[] = L"\\kxtest\\subscription.xml";

class SubscriptionFileTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        kxtest::RawSetValue(kxtest::kProductKey, L"AppPath", REG_SZ, kAppDir, sizeof kAppDir);
    }
};

const char kTwoProviders[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Subscription version=\"2\">\n"
    "  <Operator name=\"Telco\">\n"
    "    <ServiceProvider SubscribeNumber=\"1111\" UnsubscribeNumber=\"2222\""
    " SubscribePatternHeader=\"SUB\" UnsubscribePatternHeader=\"UNSUB\"/>\n"
    "  </Operator>\n  <ServiceProvider SubscribeNumber=\"9999\"/>\n</Subscription>\n";

// The four attributes of every ServiceProvider element below the document element, as read.
std::wstring Providers() {
    KxXmlDocument document;
    document.LoadFile(reinterpret_cast<const unsigned short*>(kSubscription));
    KxXmlElementList list = document.FindElementByTag(
        reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(L"ServiceProvider")));
    std::wstring all;
    for (int i = 0; i < list.GetCount(); ++i)
        for (const wchar_t* name : {L"SubscribeNumber", L"UnsubscribeNumber",
                                    L"SubscribePatternHeader", L"UnsubscribePatternHeader"})
            all +=
                list[i].Attribute(reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(name))) +
                std::wstring(L",");
    return all;
}

// Only the first provider changes; null or empty arguments keep their attribute; a missing file
// is never created and a broken one is left as it was.
TEST_F(SubscriptionFileTest, TheFirstProviderTakesTheGivenAttributes) {
    const struct Row {
        const char* file;  // null: none
        const wchar_t* a[4];
        int expected;
        const wchar_t* providers;
        const char* saved;  // the file as saved (a part of it when changed)
    } rows[] = {
        {kTwoProviders,
         {L"5550001", L"5550002", L"HELLO", L"BYE"},
         1,
         L"5550001,5550002,HELLO,BYE,9999,,,,",
         "<Operator name=\"Telco\">"},
        {kTwoProviders,
         {nullptr, L"", nullptr, L"STOP"},
         1,
         L"1111,2222,SUB,STOP,9999,,,,",
         "version=\"2\""},
        {"<a><b><ServiceProvider/></b></a>",
         {L"a&b", L"<1>", L"\"q\"", L"x'y"},
         1,
         L"a&b,<1>,\"q\",x'y,",
         "a&amp;b"},
        {"<ServiceProvider SubscribeNumber=\"1\"><x/></ServiceProvider>",
         {L"2", L"3", L"4", L"5"},
         1,
         L"",
         "SubscribeNumber=\"1\"><x/>"},
        {nullptr, {L"1", L"2", L"3", L"4"}, 0, nullptr, "<missing>"},
        {"<Subscription><ServiceProvider></Subscription>",
         {L"1", L"2", L"3", L"4"},
         0,
         nullptr,
         "<Subscription><ServiceProvider></Subscription>"},
        {"", {L"1", L"2", L"3", L"4"}, 0, nullptr, ""},
        {"text", {L"1", L"2", L"3", L"4"}, 0, nullptr, "text"},
        {"<a b=c/>", {L"1", L"2", L"3", L"4"}, 0, nullptr, "<a b=c/>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file ? row.file : "no file");
        ::DeleteFileW(kSubscription);
        if (row.file != nullptr) kxtest::MakeScratchFile(L"subscription.xml", row.file);
        EXPECT_EQ(KxConfig::SetSpdXml(row.a[0], row.a[1], row.a[2], row.a[3]), row.expected);
        if (row.expected == 1) EXPECT_EQ(Providers(), row.providers);
        const std::string saved = kxtest::ReadDeviceFile(kSubscription);
        if (row.expected == 0) EXPECT_EQ(saved, row.saved) << "left as it was";
        if (row.expected == 1) EXPECT_NE(saved.find(row.saved), std::string::npos) << saved;
    }
    EXPECT_EQ(KxConfig::SetSpdXmlEx(nullptr, L"1", L"2", L"3", L"4"), 0);
}

}  // namespace
