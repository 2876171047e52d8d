#include "res/StringTable.h"

const StringResource g_stringTable[] = {
    {LANG_GERMAN_GERMANY, IDS_SOCKETS_INIT_FAILED, u"Fehler beim Initialisieren der Windows-Sockets"},
};
const int g_nStringTableSize = sizeof g_stringTable / sizeof g_stringTable[0];

namespace {

void AppendUtf8(CString& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

CString Utf16ToUtf8(const char16_t* text)
{
    CString out;
    for (const char16_t* p = text; p && *p; ++p) {
        char32_t code = *p;
        if (IsHighSurrogate(p[0]) && IsLowSurrogate(p[1])) {
            code = 0x10000 + ((static_cast<char32_t>(p[0]) - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (IsHighSurrogate(*p) || IsLowSurrogate(*p)) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

CString LoadStringResource(UINT id)
{
    for (int i = 0; i < g_nStringTableSize; ++i)
        if (g_stringTable[i].nId == id) return Utf16ToUtf8(g_stringTable[i].pszText);
    return CString();
}
