// CString: the framework's mutable text class, over std::string.
// Single-byte text; holds any bytes except NUL.
#pragma once

#include <string>

#include "platform/wintypes.h"

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const std::string& text) : m_text(text) {}
    CString(char ch, int count = 1) : m_text(count > 0 ? count : 0, ch) {}

    CString& operator=(const char* text) { m_text = text ? text : ""; return *this; }
    CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
    CString& operator+=(const char* text) { if (text) m_text += text; return *this; }
    CString& operator+=(char ch) { m_text += ch; return *this; }

    // printf-style formatting; replaces the whole text. Any length.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void MakeUpper();  // a..z become A..Z; other bytes stay
    void MakeLower();  // A..Z become a..z; other bytes stay

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
    char operator[](int index) const { return GetAt(index); }

    // Byte-wise comparison: <0, 0, >0 as strcmp.
    int Compare(const char* text) const;

    operator LPCTSTR() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

private:
    std::string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
