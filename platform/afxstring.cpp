// CString::Format: the text's length is measured first, so any length fits.
#include "platform/afxstring.h"

#include <cstdarg>
#include <cstdio>

void CString::Format(const char* format, ...)
{
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    std::vsnprintf(&out[0], out.size() + 1, format, args);
    va_end(args);
    swap(out);
}
