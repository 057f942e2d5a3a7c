// The operator's subscription file, edited through the platform's XML DOM and read back with
// the library's XML reader.
#include "ServiceFixture.h"

#include <kxcommon/KxConfig.h>
#include <kxcommon/KxXml.h>

#include <string>

namespace {

using kxtest::MakeScratchFile;

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
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Subscription version=\"2\">\n"
    "  <Operator name=\"Telco\">\n"
    "    <ServiceProvider SubscribeNumber=\"1111\" UnsubscribeNumber=\"2222\""
    " SubscribePatternHeader=\"SUB\" UnsubscribePatternHeader=\"UNSUB\"/>\n"
    "  </Operator>\n"
    "  <ServiceProvider SubscribeNumber=\"9999\"/>\n"
    "</Subscription>\n";

std::wstring Attr(KxXmlElement element, const wchar_t* name) {
    return element.Attribute(reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(name)));
}

// The ServiceProvider elements of the file, read afresh.
KxXmlElementList Providers(const wchar_t* path = kSubscription) {
    KxXmlDocument document;
    EXPECT_EQ(document.LoadFile(reinterpret_cast<const unsigned short*>(path)), 1);
    return document.FindElementByTag(
        reinterpret_cast<unsigned short*>(const_cast<wchar_t*>(L"ServiceProvider")));
}

TEST_F(SubscriptionFileTest, OnlyTheFirstProviderChanges) {
    MakeScratchFile(L"subscription.xml", kTwoProviders);
    EXPECT_EQ(KxConfig::SetSpdXml(L"5550001", L"5550002", L"HELLO", L"BYE"), 1);
    KxXmlElementList providers = Providers();
    ASSERT_EQ(providers.GetCount(), 2);
    EXPECT_EQ(Attr(providers[0], L"SubscribeNumber"), L"5550001");
    EXPECT_EQ(Attr(providers[0], L"UnsubscribeNumber"), L"5550002");
    EXPECT_EQ(Attr(providers[0], L"SubscribePatternHeader"), L"HELLO");
    EXPECT_EQ(Attr(providers[0], L"UnsubscribePatternHeader"), L"BYE");
    EXPECT_EQ(Attr(providers[1], L"SubscribeNumber"), L"9999");
    EXPECT_EQ(Attr(providers[1], L"UnsubscribeNumber"), L"");
    // The rest of the document is kept.
    const std::string saved = kxtest::ReadDeviceFile(kSubscription);
    EXPECT_NE(saved.find("<Operator name=\"Telco\">"), std::string::npos) << saved;
    EXPECT_NE(saved.find("version=\"2\""), std::string::npos) << saved;
}

TEST_F(SubscriptionFileTest, NullOrEmptyArgumentsKeepTheirAttribute) {
    MakeScratchFile(L"subscription.xml", kTwoProviders);
    EXPECT_EQ(KxConfig::SetSpdXmlEx(kSubscription, nullptr, L"", nullptr, L"STOP"), 1);
    KxXmlElementList providers = Providers();
    EXPECT_EQ(Attr(providers[0], L"SubscribeNumber"), L"1111");
    EXPECT_EQ(Attr(providers[0], L"UnsubscribeNumber"), L"2222");
    EXPECT_EQ(Attr(providers[0], L"SubscribePatternHeader"), L"SUB");
    EXPECT_EQ(Attr(providers[0], L"UnsubscribePatternHeader"), L"STOP");

    EXPECT_EQ(KxConfig::SetSpdXmlEx(kSubscription, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Attr(Providers()[0], L"UnsubscribePatternHeader"), L"STOP");
}

TEST_F(SubscriptionFileTest, MissingAttributesAreAddedAndSpecialCharactersSurvive) {
    const std::wstring path = MakeScratchFile(L"other.xml", "<a><b><ServiceProvider/></b></a>");
    EXPECT_EQ(KxConfig::SetSpdXmlEx(path.c_str(), L"a&b", L"<1>", L"\"q\"", L"x'y"), 1);
    const std::string saved = kxtest::ReadDeviceFile(path.c_str());
    EXPECT_NE(saved.find("a&amp;b"), std::string::npos) << saved;
    EXPECT_NE(saved.find("&lt;1"), std::string::npos) << saved;
    KxXmlElement provider = Providers(path.c_str())[0];
    EXPECT_EQ(Attr(provider, L"SubscribeNumber"), L"a&b");
    EXPECT_EQ(Attr(provider, L"UnsubscribeNumber"), L"<1>");
    EXPECT_EQ(Attr(provider, L"SubscribePatternHeader"), L"\"q\"");
    EXPECT_EQ(Attr(provider, L"UnsubscribePatternHeader"), L"x'y");
}

TEST_F(SubscriptionFileTest, TheDocumentElementIsNotAProvider) {
    const std::wstring path = MakeScratchFile(
        L"root.xml", "<ServiceProvider SubscribeNumber=\"1\"><x/></ServiceProvider>");
    EXPECT_EQ(KxConfig::SetSpdXmlEx(path.c_str(), L"2", L"3", L"4", L"5"), 1);
    const std::string saved = kxtest::ReadDeviceFile(path.c_str());
    EXPECT_NE(saved.find("SubscribeNumber=\"1\""), std::string::npos) << saved;
    EXPECT_EQ(saved.find("UnsubscribeNumber"), std::string::npos) << saved;
}

TEST_F(SubscriptionFileTest, MissingOrBrokenFilesAreLeftAlone) {
    EXPECT_EQ(KxConfig::SetSpdXml(L"1", L"2", L"3", L"4"), 0);
    EXPECT_EQ(kxtest::ReadDeviceFile(kSubscription), "<missing>")
        << "the library never creates the file";
    EXPECT_EQ(KxConfig::SetSpdXmlEx(nullptr, L"1", L"2", L"3", L"4"), 0);

    const char* const broken[] = {"<Subscription><ServiceProvider></Subscription>", "", "text",
                                  "<a b=c/>"};
    for (const char* content : broken) {
        MakeScratchFile(L"subscription.xml", content);
        EXPECT_EQ(KxConfig::SetSpdXml(L"1", L"2", L"3", L"4"), 0) << content;
        EXPECT_EQ(kxtest::ReadDeviceFile(kSubscription), content);
    }
}

}  // namespace
