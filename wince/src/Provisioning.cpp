// DMProcessConfigXML with the Registry configuration service provider. The document is parsed
// with the platform's XML DOM, turned into a list of registry operations (every check happens
// here, before anything is written), then applied with an undo journal: when an operation fails
// the journal puts back every value and key the document had changed, so a document is applied
// whole or not at all.
#include <wince/wince.h>

#include "OutOfMemory.h"
#include "internal/ComPtr.h"
#include "internal/NameCompare.h"
#include "internal/RegistryValue.h"

#include <msxml.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

using kx::ComPtr;
using kx::UniqueBstr;
using kx::UniqueKey;
using kx::UniqueVariant;

namespace {

constexpr wchar_t kDocumentTag[] = L"wap-provisioningdoc";
constexpr wchar_t kRegistryProvider[] = L"Registry";
constexpr wchar_t kMultiStringSeparator = 0xF000;
constexpr long kMinInteger = -2147483647L - 1;
constexpr long kMaxInteger = 2147483647L;

using Bytes = std::vector<BYTE>;

// ---- The document --------------------------------------------------------------------------

std::wstring NodeName(IXMLDOMNode* node) {
    UniqueBstr name;
    if (FAILED(node->get_nodeName(name.Receive())) || !name) return std::wstring();
    return std::wstring(name.Get(), ::SysStringLen(name.Get()));
}

// The attribute's text; false when it is absent.
bool Attribute(IXMLDOMElement* element, const wchar_t* name, std::wstring& text) {
    const UniqueBstr bstrName = kx::CopyBstr(name);
    UniqueVariant value;
    if (element->getAttribute(bstrName.Get(), value.Receive()) != S_OK) return false;
    if (value.Get().vt != VT_BSTR) return false;
    text.assign(value.Get().bstrVal, ::SysStringLen(value.Get().bstrVal));
    return true;
}

// The element children of `parent`, in document order; text, comments and the like are skipped.
std::vector<ComPtr<IXMLDOMElement>> ChildElements(IXMLDOMNode* parent) {
    std::vector<ComPtr<IXMLDOMElement>> children;
    ComPtr<IXMLDOMNode> child;
    parent->get_firstChild(child.Receive());
    while (child) {
        DOMNodeType type = NODE_INVALID;
        child->get_nodeType(&type);
        if (type == NODE_ELEMENT) children.push_back(child.As<IXMLDOMElement>(IID_IXMLDOMElement));
        ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(next.Receive());
        child = std::move(next);
    }
    return children;
}

// ---- Registry operations -------------------------------------------------------------------

enum class OpKind { SetValue, DeleteValue, DeleteKey };

struct Operation {
    OpKind kind;
    HKEY root;
    std::wstring key;
    std::wstring name;  // value name (SetValue, DeleteValue)
    DWORD type;
    Bytes data;
    ComPtr<IXMLDOMElement> node;  // where the answer shows a failure
};

struct Failure {
    HRESULT hr = S_OK;
    ComPtr<IXMLDOMElement> node;
};

struct RootName {
    const wchar_t* shortName;
    const wchar_t* longName;
    HKEY root;
};
const RootName kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKU", L"HKEY_USERS", HKEY_USERS},
};

// A key path below a root: components separated by single backslashes, none empty.
bool IsKeyPath(const std::wstring& path) {
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\') return false;
    return path.find(L"\\\\") == std::wstring::npos;
}

// "HKLM\Software\X" into its root and the path below it; the path must not be empty, so a
// document can never address a whole hive.
bool SplitRooted(const std::wstring& path, HKEY& root, std::wstring& key) {
    const size_t slash = path.find(L'\\');
    if (slash == std::wstring::npos) return false;
    const std::wstring head = path.substr(0, slash);
    for (const RootName& r : kRoots) {
        if (kx::SameIgnoringCase(head.c_str(), r.shortName) ||
            kx::SameIgnoringCase(head.c_str(), r.longName)) {
            root = r.root;
            key = path.substr(slash + 1);
            return IsKeyPath(key);
        }
    }
    return false;
}

bool ParseInteger(const std::wstring& text, DWORD& number) {
    if (text.empty() || text.size() > 11) return false;
    size_t i = 0;
    const bool negative = text[0] == L'-';
    if (negative || text[0] == L'+') ++i;
    if (i == text.size()) return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
    }
    if (negative) value = -value;
    if (value < kMinInteger || value > kMaxInteger) return false;
    number = static_cast<DWORD>(static_cast<long>(value));
    return true;
}

Bytes NumberBytes(DWORD number) {
    Bytes data(sizeof number);
    std::memcpy(data.data(), &number, sizeof number);
    return data;
}

Bytes TextBytes(const std::wstring& text) {
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return Bytes(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

bool DecodeBase64(const std::wstring& text, Bytes& data) {
    data.clear();
    if (text.empty()) return true;
    DWORD size = 0;
    if (!::CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                                nullptr, &size, nullptr, nullptr))
        return false;
    data.resize(size);
    if (!::CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                                data.data(), &size, nullptr, nullptr))
        return false;
    data.resize(size);
    return true;
}

// The registry type and bytes of a parm; false for a datatype this provider does not know or a
// value that does not fit it. A parm without datatype is a string.
bool ParmData(const std::wstring& datatype, const std::wstring& value, bool hasValue, DWORD& type,
              Bytes& data) {
    if (datatype.empty() || datatype == L"string") {
        type = REG_SZ;
        data = TextBytes(value);
        return true;
    }
    if (datatype == L"integer") {
        DWORD number = 0;
        if (!hasValue || !ParseInteger(value, number)) return false;
        type = REG_DWORD;
        data = NumberBytes(number);
        return true;
    }
    if (datatype == L"boolean") {
        DWORD flag;
        if (value == L"1" || kx::SameIgnoringCase(value.c_str(), L"true"))
            flag = 1;
        else if (value == L"0" || kx::SameIgnoringCase(value.c_str(), L"false"))
            flag = 0;
        else
            return false;
        type = REG_DWORD;
        data = NumberBytes(flag);
        return true;
    }
    if (datatype == L"multiplestring") {
        std::wstring items = value;
        for (wchar_t& c : items)
            if (c == kMultiStringSeparator) c = L'\0';
        // REG_MULTI_SZ ends in an empty string: two terminators in all.
        while (items.size() < 2 || items[items.size() - 1] != L'\0' ||
               items[items.size() - 2] != L'\0')
            items.push_back(L'\0');
        type = REG_MULTI_SZ;
        const BYTE* begin = reinterpret_cast<const BYTE*>(items.data());
        data.assign(begin, begin + items.size() * sizeof(wchar_t));
        return true;
    }
    if (datatype == L"binary") {
        type = REG_BINARY;
        return DecodeBase64(value, data);
    }
    return false;
}

class Planner {
public:
    explicit Planner(std::vector<Operation>& ops) : ops_(ops) {}

    bool Document(IXMLDOMElement* root) {
        if (NodeName(root) != kDocumentTag) return Fail(CONFIG_E_BAD_XML, root);
        for (const ComPtr<IXMLDOMElement>& child : ChildElements(root)) {
            std::wstring type;
            if (NodeName(child.Get()) != L"characteristic" ||
                !Attribute(child.Get(), L"type", type))
                return Fail(CONFIG_E_BAD_XML, child.Get());
            if (type != kRegistryProvider) return Fail(CONFIG_E_ENTRYNOTFOUND, child.Get());
            if (!Registry(child.Get())) return false;
        }
        return true;
    }

    Failure failure;

private:
    bool Registry(IXMLDOMElement* provider) {
        for (const ComPtr<IXMLDOMElement>& child : ChildElements(provider)) {
            const std::wstring name = NodeName(child.Get());
            std::wstring path, key;
            HKEY root = nullptr;
            if (name != L"characteristic" && name != L"nocharacteristic")
                return Fail(CONFIG_E_BAD_XML, child.Get());
            if (!Attribute(child.Get(), L"type", path)) return Fail(CONFIG_E_BAD_XML, child.Get());
            if (!SplitRooted(path, root, key)) return Fail(CONFIG_E_ENTRYNOTFOUND, child.Get());
            if (name == L"nocharacteristic")
                Add(OpKind::DeleteKey, root, key, std::wstring(), child.Get());
            else if (!Key(child.Get(), root, key))
                return false;
        }
        return true;
    }

    bool Key(IXMLDOMElement* characteristic, HKEY root, const std::wstring& key) {
        for (const ComPtr<IXMLDOMElement>& child : ChildElements(characteristic)) {
            IXMLDOMElement* element = child.Get();
            const std::wstring name = NodeName(element);
            if (name == L"characteristic" || name == L"nocharacteristic") {
                std::wstring sub;
                if (!Attribute(element, L"type", sub) || !IsKeyPath(sub))
                    return Fail(CONFIG_E_BAD_XML, element);
                const std::wstring path = key + L"\\" + sub;
                if (name == L"nocharacteristic")
                    Add(OpKind::DeleteKey, root, path, std::wstring(), element);
                else if (!Key(element, root, path))
                    return false;
            } else if (name == L"parm" || name == L"noparm") {
                std::wstring valueName;
                if (!Attribute(element, L"name", valueName)) return Fail(CONFIG_E_BAD_XML, element);
                if (name == L"noparm") {
                    Add(OpKind::DeleteValue, root, key, valueName, element);
                    continue;
                }
                std::wstring datatype, value;
                Attribute(element, L"datatype", datatype);
                const bool hasValue = Attribute(element, L"value", value);
                Operation& op = Add(OpKind::SetValue, root, key, valueName, element);
                if (!ParmData(datatype, value, hasValue, op.type, op.data))
                    return Fail(CONFIG_E_BAD_XML, element);
            } else {
                return Fail(CONFIG_E_BAD_XML, element);
            }
        }
        return true;
    }

    Operation& Add(OpKind kind, HKEY root, const std::wstring& key, const std::wstring& name,
                   IXMLDOMElement* node) {
        ops_.push_back(Operation{kind, root, key, name, REG_NONE, Bytes(),
                                 ComPtr<IXMLDOMElement>::Share(node)});
        return ops_.back();
    }

    bool Fail(HRESULT hr, IXMLDOMElement* node) {
        failure.hr = hr;
        failure.node = ComPtr<IXMLDOMElement>::Share(node);
        return false;
    }

    std::vector<Operation>& ops_;
};

// ---- Applying, with the undo journal -----------------------------------------------------------

struct ValueCopy {
    std::wstring name;
    DWORD type = REG_NONE;
    Bytes data;
};

struct KeyCopy {
    std::vector<ValueCopy> values;
    std::vector<std::pair<std::wstring, KeyCopy>> subkeys;
};

bool KeyExists(HKEY root, const std::wstring& key) {
    UniqueKey opened;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) == ERROR_SUCCESS;
}

bool ReadValue(HKEY key, const wchar_t* name, ValueCopy& copy) {
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &copy.type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    copy.data.resize(size);
    if (::RegQueryValueExW(key, name, nullptr, &copy.type, copy.data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    copy.data.resize(size);
    copy.name = name;
    return true;
}

bool WriteValue(HKEY key, const ValueCopy& value) {
    return ::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool CopyTree(HKEY key, KeyCopy& copy) {
    DWORD subkeys = 0, values = 0, maxSubkey = 0, maxValueName = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                           &maxValueName, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> name(std::max(maxSubkey, maxValueName) + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD chars = static_cast<DWORD>(name.size());
        if (::RegEnumValueW(key, i, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return false;
        ValueCopy value;
        if (!ReadValue(key, name.data(), value)) return false;
        copy.values.push_back(std::move(value));
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD chars = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(key, i, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return false;
        UniqueKey sub;
        if (::RegOpenKeyExW(key, name.data(), 0, KEY_READ, sub.Receive()) != ERROR_SUCCESS)
            return false;
        copy.subkeys.emplace_back(name.data(), KeyCopy());
        if (!CopyTree(sub.Get(), copy.subkeys.back().second)) return false;
    }
    return true;
}

bool RestoreTree(HKEY parent, const std::wstring& path, const KeyCopy& copy) {
    UniqueKey key;
    if (::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const ValueCopy& value : copy.values) ok = WriteValue(key.Get(), value) && ok;
    for (const auto& sub : copy.subkeys) ok = RestoreTree(key.Get(), sub.first, sub.second) && ok;
    return ok;
}

// One way back to the registry as it was before an operation.
struct UndoStep {
    enum Kind { PutValueBack, RemoveValue, RemoveKey, PutTreeBack } kind;
    HKEY root;
    std::wstring key;
    ValueCopy value;
    KeyCopy tree;
};

// Changes made under a transaction are undone when it goes without a commit, also when an
// exception (running out of memory) passes through.
class Transaction {
public:
    Transaction() = default;
    ~Transaction() { Rollback(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Keeps what was applied.
    void Commit() { journal_.clear(); }

    // False when the operation could not be applied; what it changed is already undone by then
    // only if Rollback is called.
    bool Apply(const Operation& op) {
        switch (op.kind) {
        case OpKind::SetValue:
            return SetValue(op);
        case OpKind::DeleteValue:
            return DeleteValue(op);
        case OpKind::DeleteKey:
            return DeleteKey(op);
        }
        return false;
    }

    // Undoes everything, newest first. False when something could not be put back.
    bool Rollback() {
        bool ok = true;
        for (auto step = journal_.rbegin(); step != journal_.rend(); ++step) ok = Undo(*step) && ok;
        journal_.clear();
        return ok;
    }

private:
    bool SetValue(const Operation& op) {
        // The first missing key on the way down is removed again by the undo, with whatever
        // the operation created below it.
        const size_t missing = FirstMissing(op.root, op.key);
        if (missing != std::wstring::npos) {
            journal_.push_back(UndoStep{UndoStep::RemoveKey, op.root, op.key.substr(0, missing),
                                        ValueCopy(), KeyCopy()});
        } else {
            UniqueKey key;
            if (::RegOpenKeyExW(op.root, op.key.c_str(), 0, KEY_READ, key.Receive()) !=
                ERROR_SUCCESS)
                return false;
            ValueCopy old;
            if (ReadValue(key.Get(), op.name.c_str(), old))
                journal_.push_back(
                    UndoStep{UndoStep::PutValueBack, op.root, op.key, std::move(old), KeyCopy()});
            else
                journal_.push_back(UndoStep{UndoStep::RemoveValue, op.root, op.key,
                                            ValueCopy{op.name, REG_NONE, Bytes()}, KeyCopy()});
        }
        return kx::CreateKeyAndSetValue(op.root, op.key.c_str(), op.name.c_str(), op.type,
                                        op.data.data(),
                                        static_cast<DWORD>(op.data.size())) == ERROR_SUCCESS;
    }

    bool DeleteValue(const Operation& op) {
        UniqueKey key;
        // Deleting what is not there leaves the registry as the document wants it.
        if (::RegOpenKeyExW(op.root, op.key.c_str(), 0, KEY_READ | KEY_SET_VALUE, key.Receive()) !=
            ERROR_SUCCESS)
            return true;
        ValueCopy old;
        if (!ReadValue(key.Get(), op.name.c_str(), old)) return true;
        journal_.push_back(
            UndoStep{UndoStep::PutValueBack, op.root, op.key, std::move(old), KeyCopy()});
        return ::RegDeleteValueW(key.Get(), op.name.c_str()) == ERROR_SUCCESS;
    }

    bool DeleteKey(const Operation& op) {
        KeyCopy tree;
        {
            UniqueKey key;
            if (::RegOpenKeyExW(op.root, op.key.c_str(), 0, KEY_READ, key.Receive()) !=
                ERROR_SUCCESS)
                return true;
            if (!CopyTree(key.Get(), tree)) return false;
        }
        journal_.push_back(
            UndoStep{UndoStep::PutTreeBack, op.root, op.key, ValueCopy(), std::move(tree)});
        return ::RegDeleteTreeW(op.root, op.key.c_str()) == ERROR_SUCCESS;
    }

    // The length of the shortest prefix of `key` (ending before a backslash, or the whole key)
    // that does not exist; npos when the whole key exists.
    static size_t FirstMissing(HKEY root, const std::wstring& key) {
        size_t end = 0;
        while (end != std::wstring::npos) {
            end = key.find(L'\\', end + 1);
            const size_t length = end == std::wstring::npos ? key.size() : end;
            if (!KeyExists(root, key.substr(0, length))) return length;
        }
        return std::wstring::npos;
    }

    static bool Undo(const UndoStep& step) {
        switch (step.kind) {
        case UndoStep::PutValueBack:
        case UndoStep::RemoveValue: {
            UniqueKey key;
            if (::RegOpenKeyExW(step.root, step.key.c_str(), 0, KEY_SET_VALUE, key.Receive()) !=
                ERROR_SUCCESS)
                return step.kind == UndoStep::RemoveValue;
            if (step.kind == UndoStep::PutValueBack) return WriteValue(key.Get(), step.value);
            const LSTATUS status = ::RegDeleteValueW(key.Get(), step.value.name.c_str());
            return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
        }
        case UndoStep::RemoveKey:
            // A key the operation never managed to create is already as it was.
            return !KeyExists(step.root, step.key) ||
                   ::RegDeleteTreeW(step.root, step.key.c_str()) == ERROR_SUCCESS;
        case UndoStep::PutTreeBack:
            return RestoreTree(step.root, step.key, step.tree);
        }
        return false;
    }

    std::vector<UndoStep> journal_;
};

// ---- The answer ------------------------------------------------------------------------------

LPWSTR CopyOut(const wchar_t* text, size_t chars) {
    wchar_t* answer = new (std::nothrow) wchar_t[chars + 1];
    if (answer == nullptr) return nullptr;
    std::wmemcpy(answer, text, chars);
    answer[chars] = L'\0';
    return answer;
}

std::wstring ErrorCode(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Replaces the failing element by its "-error" form: the same attributes and children, and the
// failure's code in "desc".
void MarkFailure(IXMLDOMDocument* document, const Failure& failure) {
    IXMLDOMElement* node = failure.node.Get();
    const UniqueBstr errorName = kx::CopyBstr((NodeName(node) + L"-error").c_str());
    ComPtr<IXMLDOMElement> marked;
    if (FAILED(document->createElement(errorName.Get(), marked.Receive())) || !marked) return;

    ComPtr<IXMLDOMNamedNodeMap> attributes;
    long count = 0;
    if (SUCCEEDED(node->get_attributes(attributes.Receive())) && attributes)
        attributes->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        UniqueBstr name;
        UniqueVariant value;
        if (FAILED(attributes->get_item(i, attribute.Receive())) || !attribute) continue;
        if (FAILED(attribute->get_nodeName(name.Receive())) ||
            FAILED(attribute->get_nodeValue(value.Receive())))
            continue;
        marked->setAttribute(name.Get(), value.Get());
    }
    const UniqueBstr desc = kx::CopyBstr(L"desc");
    UniqueVariant code(ErrorCode(failure.hr).c_str());
    marked->setAttribute(desc.Get(), code.Get());

    for (const ComPtr<IXMLDOMElement>& child : ChildElements(node)) {
        ComPtr<IXMLDOMNode> moved;
        marked->appendChild(child.Get(), moved.Receive());
    }
    ComPtr<IXMLDOMNode> parent;
    ComPtr<IXMLDOMNode> old;
    if (SUCCEEDED(node->get_parentNode(parent.Receive())) && parent)
        parent->replaceChild(marked.Get(), node, old.Receive());
}

HRESULT Answer(HRESULT hr, IXMLDOMDocument* document, LPWSTR* out) {
    UniqueBstr xml;
    if (document != nullptr) document->get_xml(xml.Receive());
    const std::wstring text =
        xml ? std::wstring(xml.Get(), ::SysStringLen(xml.Get()))
            : L"<" + std::wstring(kDocumentTag) + L"-error desc=\"" + ErrorCode(hr) + L"\"/>";
    *out = CopyOut(text.c_str(), text.size());
    return *out == nullptr ? E_OUTOFMEMORY : hr;
}

}  // namespace

extern "C" HRESULT DMProcessConfigXML(LPCWSTR pszWXMLin, DWORD dwFlags, LPWSTR* ppszwXMLout) {
    return wince::OrOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
        if (ppszwXMLout != nullptr) *ppszwXMLout = nullptr;
        if (pszWXMLin == nullptr || ppszwXMLout == nullptr || dwFlags != CFGFLAG_PROCESS)
            return E_INVALIDARG;
        // A byte-order mark is not part of the document's text.
        if (pszWXMLin[0] == 0xFEFF) ++pszWXMLin;

        // The caller's thread may already be in another apartment; the DOM works in either.
        const kx::ComApartment com;
        ComPtr<IXMLDOMDocument> document;
        ::CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                           reinterpret_cast<void**>(document.Receive()));
        if (!document) return E_UNEXPECTED;
        document->put_async(VARIANT_FALSE);
        document->put_resolveExternals(VARIANT_FALSE);
        const UniqueBstr text = kx::CopyBstr(pszWXMLin);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        ComPtr<IXMLDOMElement> root;
        if (FAILED(document->loadXML(text.Get(), &loaded)) || loaded != VARIANT_TRUE ||
            FAILED(document->get_documentElement(root.Receive())) || !root)
            return Answer(CONFIG_E_BAD_XML, nullptr, ppszwXMLout);

        std::vector<Operation> ops;
        Planner planner(ops);
        if (!planner.Document(root.Get())) {
            MarkFailure(document.Get(), planner.failure);
            return Answer(planner.failure.hr, document.Get(), ppszwXMLout);
        }

        Transaction transaction;
        for (const Operation& op : ops) {
            if (transaction.Apply(op)) continue;
            const bool restored = transaction.Rollback();
            Failure failure;
            failure.hr = restored ? CONFIG_E_CSPEXCEPTION : CONFIG_E_TRANSACTIONINGFAILURE;
            failure.node = op.node;
            MarkFailure(document.Get(), failure);
            return Answer(failure.hr, document.Get(), ppszwXMLout);
        }
        // The answer is made before the changes are kept: without memory for it nothing was
        // applied.
        LPWSTR answer = CopyOut(pszWXMLin, std::wcslen(pszWXMLin));
        if (answer == nullptr) return E_OUTOFMEMORY;
        transaction.Commit();
        *ppszwXMLout = answer;
        return S_OK;
    });
}
