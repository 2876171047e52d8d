#include "knx/Notation.h"

#include <cstdio>

namespace {

WORD PackGroupAddress(int mainGroup, int middleGroup, int subGroup)
{
    return static_cast<WORD>(((mainGroup & 31) << 11) | ((middleGroup & 7) << 8) | (subGroup & 255));
}

CString BytesToText(const BYTE* bytes, int count, const char* pattern)
{
    CString text;
    for (int i = 0; i < count; ++i) {
        CString item;
        item.Format(pattern, static_cast<unsigned>(bytes[i]));
        text += item;
    }
    return text;
}

}  // namespace

WORD ParseGroupAddress(const char* text)
{
    static const char* const patterns[] = {"%d/%d/%d", "%d %d %d", "%d.%d.%d"};
    for (const char* pattern : patterns) {
        int mainGroup = 0, middleGroup = 0, subGroup = 0;
        if (std::sscanf(text, pattern, &mainGroup, &middleGroup, &subGroup) == 3)
            return PackGroupAddress(mainGroup, middleGroup, subGroup);
    }
    unsigned int value = 0;
    if (text[0] == '#') std::sscanf(text, "#%4x", &value);
    return static_cast<WORD>(value & 0xFFFF);
}

const char* GroupAddressText(WORD groupAddress)
{
    static char s_text[12];
    std::snprintf(s_text, sizeof s_text, "%d/%d/%d", groupAddress >> 11, (groupAddress >> 8) & 7,
                  groupAddress & 255);
    return s_text;
}

const char* IndividualAddressText(WORD address)
{
    static char s_text[12];
    std::snprintf(s_text, sizeof s_text, "%d.%d.%d", address >> 12, (address >> 8) & 15, address & 255);
    return s_text;
}

double DecodeKnxFloat(WORD raw)
{
    int mantissa = raw & 0x07FF;
    if (raw & 0x8000) mantissa -= 2048;
    int exponent = (raw >> 11) & 15;
    // The scale is the single-precision 0.01, widened: values match what a
    // float constant gives, not the nearest double to the decimal.
    const double scale = static_cast<double>(0.01f);
    return (mantissa * scale) * static_cast<double>(1 << exponent);
}

CString BytesToDecText(const BYTE* bytes, int count) { return BytesToText(bytes, count, "%u "); }

CString BytesToHexText(const BYTE* bytes, int count) { return BytesToText(bytes, count, "%02x "); }
