// kxctl xml: the library's XML reader on a device file.
#include "Commands.h"

#include <kxcommon/KxXml.h>

#include <string>

namespace kxctl {
namespace {

const wchar_t kUsage[] = L"usage: kxctl xml FILE TAG [ATTRIBUTE]";

unsigned short* Units(std::wstring& text) { return reinterpret_cast<unsigned short*>(&text[0]); }

}  // namespace

int RunXml(const Args& args) {
    if (args.size() < 2 || args.size() > 3) return UsageError(kUsage);
    std::wstring path = args[0], tag = args[1];
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return UsageError(L"no such file: " + path);
    KxXmlDocument document;
    if (!document.LoadFile(Units(path))) {
        PrintError(L"kxctl: the XML component could not load " + path);
        return kExitFailed;
    }
    KxXmlElementList elements = document.FindElementByTag(Units(tag));
    const long count = elements.GetCount();
    Print(std::to_wstring(count) + (count == 1 ? L" element " : L" elements ") + tag);
    if (args.size() == 3) {
        std::wstring attribute = args[2];
        for (long i = 0; i < count; ++i)
            Print(L"[" + std::to_wstring(i) + L"] " + attribute + L"=\"" +
                  elements[static_cast<unsigned int>(i)].Attribute(Units(attribute)) + L"\"");
    }
    return count > 0 ? kExitOk : kExitFailed;
}

}  // namespace kxctl
