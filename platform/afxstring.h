// Stands in for the framework's CString: mutable single-byte text over std::string,
// with printf-style Format and ASCII case changes.
#pragma once

#include <string>

#include "platform/wintypes.h"

class CString : public std::string {
public:
    CString() = default;
    CString(const char* text) : std::string(text ? text : "") {}
    CString(const std::string& text) : std::string(text) {}

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));  // the whole text, any length
    // Only a..z (A..Z) change, whatever the locale.
    void MakeUpper()
    {
        for (char& c : *this) c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
    void MakeLower()
    {
        for (char& c : *this) c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    BOOL IsEmpty() const { return empty(); }
    void Empty() { clear(); }
    operator LPCTSTR() const { return c_str(); }
};
