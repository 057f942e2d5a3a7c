// A splitter of one UTF-16 text at every occurrence of one separator character. There is no
// quoting, no escaping and no notion of rows: the text is one record and fields are picked by
// position. A CSV is a plain value; copies are deep.
#pragma once

#include "KxExport.h"

#include <string>
#include <vector>

class KXCOMMON_API CSV {
public:
    // Splits `text` (terminated; null gives no fields). Consecutive separators give empty
    // fields and a leading separator an empty first field; a trailing separator adds no empty
    // last field, and an empty text gives none. Fields are stored untrimmed. Without memory for
    // the fields the record has none.
    CSV(const unsigned short* text, unsigned short separator);
    // Copies are deep and made by the library, so running out of memory never throws: a copy
    // made without memory for the fields has none, and an assignment without memory leaves the
    // target's fields as they were.
    CSV(const CSV& other) noexcept;
    CSV& operator=(const CSV& other) noexcept;
    CSV(CSV&& other) noexcept;
    CSV& operator=(CSV&& other) noexcept;
    ~CSV();

    // Number of fields.
    int size() const;
    // A copy of field `index` (from 0), trimmed at both ends as HelpAPI::Str_TrimAll trims when
    // `trim` is nonzero; the empty string for an index outside 0 .. size() - 1 or without memory
    // for the copy. The stored field is never changed.
    std::wstring get(int index, int trim) const;
    // The fields themselves, for the caller to read or change.
    std::vector<std::wstring>& Vector();

private:
    std::vector<std::wstring> m_fields;
};
