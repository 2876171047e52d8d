// The program's string resources. They are stored as UTF-16, as resource
// compilers keep them, and converted to this console's UTF-8 when loaded.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

#define LANG_GERMAN_GERMANY 1031
#define IDS_SOCKETS_INIT_FAILED 3

struct StringResource {
    WORD wLanguage;
    UINT nId;
    const char16_t* pszText;  // zero-terminated UTF-16
};

extern const StringResource g_stringTable[];
extern const int g_nStringTableSize;

// The text of resource id as UTF-8; empty when the table has no such id.
CString LoadStringResource(UINT id);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
CString Utf16ToUtf8(const char16_t* text);
