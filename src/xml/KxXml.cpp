// The XML reader over the platform's DOMDocument. The wrappers keep raw interface pointers, each
// carrying one reference of its own; Hold() is the one place that moves a reference.
#include "kxcommon/KxXml.h"

#include "../internal/Boundary.h"
#include "../internal/ComPtr.h"

#include <msxml.h>

using kx::ComPtr;
using kx::UniqueVariant;

namespace {

constexpr DWORD kDomClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Puts `p` in `slot`: the new reference first, then the old one goes.
template <typename T>
void Hold(T*& slot, T* p) {
    if (p != nullptr) p->AddRef();
    if (T* old = slot) old->Release();
    slot = p;
}

const wchar_t* Wide(const unsigned short* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

// ---- KxXmlElement ----------------------------------------------------------------------------

KxXmlElement::KxXmlElement() : m_element(nullptr) {}
KxXmlElement::KxXmlElement(IXMLDOMElement* element) : m_element(nullptr) {
    Hold(m_element, element);
}
KxXmlElement::KxXmlElement(const KxXmlElement& other) : m_element(nullptr) {
    Hold(m_element, other.m_element);
}
KxXmlElement& KxXmlElement::operator=(const KxXmlElement& other) {
    Hold(m_element, other.m_element);
    return *this;
}
KxXmlElement::~KxXmlElement() { Hold(m_element, static_cast<IXMLDOMElement*>(nullptr)); }

std::wstring KxXmlElement::Attribute(unsigned short* name) {
    if (m_element == nullptr || name == nullptr) return std::wstring();
    // The element stays alive for the call even if the caller drops its last copy meanwhile.
    const ComPtr<IXMLDOMElement> element = ComPtr<IXMLDOMElement>::Share(m_element);
    const kx::UniqueBstr bstrName(::SysAllocString(Wide(name)));
    if (!bstrName) return std::wstring();
    UniqueVariant value;
    // S_FALSE is a missing attribute; only S_OK carries a string.
    if (element->getAttribute(bstrName.Get(), value.Receive()) != S_OK) return std::wstring();
    if (value.Get().vt != VT_BSTR || value.Get().bstrVal == nullptr) return std::wstring();
    const BSTR text = value.Get().bstrVal;
    return kx::Boundary(std::wstring(), [&] { return std::wstring(text, ::SysStringLen(text)); });
}

// ---- KxXmlElementList ------------------------------------------------------------------------

KxXmlElementList::KxXmlElementList() : m_list(nullptr), m_count(0) {}
KxXmlElementList::KxXmlElementList(IXMLDOMNodeList* list) : m_list(nullptr), m_count(0) {
    Hold(m_list, list);
    if (m_list != nullptr && FAILED(m_list->get_length(&m_count))) m_count = 0;
}
KxXmlElementList::KxXmlElementList(const KxXmlElementList& other)
    : m_list(nullptr), m_count(other.m_count) {
    Hold(m_list, other.m_list);
}
KxXmlElementList& KxXmlElementList::operator=(const KxXmlElementList& other) {
    Hold(m_list, other.m_list);
    m_count = other.m_count;
    return *this;
}
KxXmlElementList::~KxXmlElementList() { Hold(m_list, static_cast<IXMLDOMNodeList*>(nullptr)); }

long KxXmlElementList::GetCount() const { return m_count; }

KxXmlElement KxXmlElementList::operator[](unsigned int index) {
    if (m_list == nullptr || m_count <= 0 || index >= static_cast<unsigned long>(m_count))
        return KxXmlElement();
    ComPtr<IXMLDOMNode> node;
    if (FAILED(m_list->get_item(static_cast<long>(index), node.Receive())) || !node)
        return KxXmlElement();
    const ComPtr<IXMLDOMElement> element = node.As<IXMLDOMElement>(IID_IXMLDOMElement);
    return KxXmlElement(element.Get());
}

// ---- KxXmlDocument ---------------------------------------------------------------------------

KxXmlDocument::KxXmlDocument() : m_document(nullptr), m_root(nullptr) {}

KxXmlDocument::KxXmlDocument(const KxXmlDocument& other) : m_document(nullptr), m_root(nullptr) {
    *this = other;
}

KxXmlDocument& KxXmlDocument::operator=(const KxXmlDocument& other) {
    if (other.m_document == m_document) {
        Hold(m_root, other.m_root);
        return *this;
    }
    // Each wrapper that holds a document holds its own COM initialisation, so that every
    // destructor's uninitialisation is balanced. A copy that cannot have one stays empty.
    if (other.m_document != nullptr && m_document == nullptr &&
        FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        return *this;
    }
    const bool hadDocument = m_document != nullptr;
    Hold(m_root, other.m_root);
    Hold(m_document, other.m_document);
    if (hadDocument && m_document == nullptr) ::CoUninitialize();
    return *this;
}

KxXmlDocument::~KxXmlDocument() { Drop(); }

void KxXmlDocument::Drop() {
    Hold(m_root, static_cast<IXMLDOMElement*>(nullptr));
    if (m_document == nullptr) return;
    Hold(m_document, static_cast<IXMLDOMDocument*>(nullptr));
    ::CoUninitialize();
}

int KxXmlDocument::LoadFile(const unsigned short* path) {
    if (path == nullptr) return 0;
    if (m_document == nullptr) {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 0;
    } else {
        Hold(m_root, static_cast<IXMLDOMElement*>(nullptr));
        Hold(m_document, static_cast<IXMLDOMDocument*>(nullptr));
    }
    // From here this wrapper owns one initialisation; without a document it must give it back.
    ComPtr<IXMLDOMDocument> document;
    ::CoCreateInstance(CLSID_DOMDocument, nullptr, kDomClassContext, IID_IXMLDOMDocument,
                       reinterpret_cast<void**>(document.Receive()));
    if (!document) {
        ::CoUninitialize();
        return 0;
    }
    Hold(m_document, document.Get());

    // The success flag beside the result is not examined: an unreadable file leaves a document
    // without a root, which every search answers with nothing.
    const bool read = kx::Boundary(false, [&] {
        UniqueVariant source(Wide(path));
        VARIANT_BOOL loaded = VARIANT_FALSE;
        return SUCCEEDED(m_document->load(source.Get(), &loaded));
    });
    if (!read) return 0;

    ComPtr<IXMLDOMElement> root;
    m_document->get_documentElement(root.Receive());
    Hold(m_root, root.Get());
    return 1;
}

KxXmlElementList KxXmlDocument::FindElementByTag(unsigned short* tag) {
    if (m_root == nullptr || tag == nullptr) return KxXmlElementList();
    return kx::Boundary(KxXmlElementList(), [&] {
        const kx::UniqueBstr name = kx::CopyBstr(Wide(tag));
        ComPtr<IXMLDOMNodeList> list;
        if (FAILED(m_root->getElementsByTagName(name.Get(), list.Receive())) || !list)
            return KxXmlElementList();
        return KxXmlElementList(list.Get());
    });
}
