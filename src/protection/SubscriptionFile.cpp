// KxConfig: the operator's subscription file, edited through the platform's XML DOM.
#include "kxcommon/KxConfig.h"

#include "../internal/Boundary.h"
#include "../internal/ComPtr.h"
#include "../registry/Settings.h"

#include <msxml.h>

using kx::ComPtr;
using kx::UniqueBstr;
using kx::UniqueVariant;

namespace {

constexpr wchar_t kSubscriptionFile[] = L"subscription.xml";
constexpr wchar_t kServiceProviderTag[] = L"ServiceProvider";

// Throws when there is no memory for the name or the value: an attribute is never set to the
// empty text for want of memory.
void SetIfGiven(IXMLDOMElement* element, const wchar_t* attribute, const wchar_t* value) {
    if (value == nullptr || value[0] == L'\0') return;
    const UniqueBstr name = kx::CopyBstr(attribute);
    UniqueVariant text(value);
    element->setAttribute(name.Get(), text.Get());
}

// Edits the loaded file; 0 when it cannot be read as a document. Throws when memory runs out,
// before anything is saved.
int EditSubscription(const wchar_t* path, const wchar_t* subscribeNumber,
                     const wchar_t* unsubscribeNumber, const wchar_t* subscribeHeader,
                     const wchar_t* unsubscribeHeader) {
    ComPtr<IXMLDOMDocument> document;
    ::CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                       reinterpret_cast<void**>(document.Receive()));
    if (!document) return 0;

    document->put_async(VARIANT_FALSE);
    UniqueVariant source(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(source.Get(), &loaded)) || loaded != VARIANT_TRUE) return 0;
    ComPtr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.Receive())) || !root) return 0;

    // Descendants only: a document element named ServiceProvider is not among them.
    const UniqueBstr tag = kx::CopyBstr(kServiceProviderTag);
    ComPtr<IXMLDOMNodeList> providers;
    long count = 0;
    if (FAILED(root->getElementsByTagName(tag.Get(), providers.Receive())) || !providers ||
        FAILED(providers->get_length(&count)) || count == 0)
        return 1;
    ComPtr<IXMLDOMNode> first;
    if (FAILED(providers->get_item(0, first.Receive())) || !first) return 1;
    const ComPtr<IXMLDOMElement> provider = first.As<IXMLDOMElement>(IID_IXMLDOMElement);
    if (!provider) return 1;

    SetIfGiven(provider.Get(), L"SubscribeNumber", subscribeNumber);
    SetIfGiven(provider.Get(), L"UnsubscribeNumber", unsubscribeNumber);
    SetIfGiven(provider.Get(), L"SubscribePatternHeader", subscribeHeader);
    SetIfGiven(provider.Get(), L"UnsubscribePatternHeader", unsubscribeHeader);

    // What saving reports is not part of the result: the file was loaded and processed.
    UniqueVariant destination(path);
    document->save(destination.Get());
    return 1;
}

}  // namespace

int KxConfig::SetSpdXml(const wchar_t* subscribeNumber, const wchar_t* unsubscribeNumber,
                        const wchar_t* subscribeHeader, const wchar_t* unsubscribeHeader) {
    // Without a known application directory there is no operator file to edit.
    wchar_t path[MAX_PATH];
    if (!kx::settings::AppDirFile(kSubscriptionFile, path)) return 0;
    return SetSpdXmlEx(path, subscribeNumber, unsubscribeNumber, subscribeHeader,
                       unsubscribeHeader);
}

int KxConfig::SetSpdXmlEx(const wchar_t* path, const wchar_t* subscribeNumber,
                          const wchar_t* unsubscribeNumber, const wchar_t* subscribeHeader,
                          const wchar_t* unsubscribeHeader) {
    // The library never creates the file: the operator delivers it with the product.
    if (path == nullptr || ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return 0;
    const kx::ComApartment com;
    if (!com.ok()) return 0;
    // Without memory the file is left as it was.
    return kx::Boundary(0, [&] {
        return EditSubscription(path, subscribeNumber, unsubscribeNumber, subscribeHeader,
                                unsubscribeHeader);
    });
}
