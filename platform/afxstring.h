// Stands in for the framework's CString: mutable single-byte text with
// printf-style formatting and ASCII case changes, over std::string.
#pragma once

#include <string>

#include "platform/wintypes.h"

class CString : public std::string {
public:
    CString() = default;
    CString(const char* text) : std::string(text ? text : "") {}
    CString(const std::string& text) : std::string(text) {}

    // Replaces the whole text; any length.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void MakeUpper();  // a..z become A..Z; other bytes stay
    void MakeLower();  // A..Z become a..z; other bytes stay
    BOOL IsEmpty() const { return empty(); }
    void Empty() { clear(); }

    operator LPCTSTR() const { return c_str(); }
    const std::string& str() const { return *this; }
};
