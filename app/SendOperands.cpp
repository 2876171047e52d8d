#include "app/SendOperands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/Settings.h"
#include "knx/EisTypes.h"
#include "platform/wsock.h"

namespace {

// Reads a run of decimal digits at text as a number; false when there is
// none or it exceeds max (the run is read to its end either way).
bool ReadNumber(const char*& text, long max, long& number)
{
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    number = 0;
    bool inRange = true;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        number = number * 10 + (*text - '0');
        if (number > max) {
            inRange = false;
            number = max + 1;  // stays small whatever the length of the run
        }
    }
    return inRange;
}

bool OnlyBlanksLeft(const char* text)
{
    while (*text == ' ') ++text;
    return *text == '\0';
}

bool IsThreeLevelText(const char* text)
{
    const long maxima[] = {31, 7, 255};
    const char separator = text[std::strspn(text, "0123456789")];
    if (separator != '/' && separator != ' ' && separator != '.') return false;
    for (int level = 0; level < 3; ++level) {
        long number = 0;
        if (level > 0 && *text++ != separator) return false;
        if (!ReadNumber(text, maxima[level], number)) return false;
    }
    return OnlyBlanksLeft(text);
}

bool IsHexText(const char* text)
{
    if (*text++ != '#') return false;
    int digits = 0;
    for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text) ++digits;
    return digits >= 1 && digits <= 4 && OnlyBlanksLeft(text);
}

bool Refuse(const char* what, const char* text, std::ostream& out)
{
    out << "Error: Invalid " << what << " '" << text << "'\n";
    return false;
}

}  // namespace

bool IsGroupAddressText(const char* text) { return IsThreeLevelText(text) || IsHexText(text); }

bool IsValueText(const char* text, int eisType)
{
    EisData data;
    return eisType == 0 || EncodeEisValue(eisType, text, data);
}

bool IsGatewayAddressText(const CString& text)
{
    const DWORD address = inet_addr(text);
    return address != INADDR_NONE && address != INADDR_ANY;
}

bool CheckSendOperands(const char* groupAddress, int eisType, const char* value, std::ostream& out)
{
    if (!CheckGroupAddress(groupAddress, out)) return false;
    if (!IsValueText(value, eisType)) return Refuse("value", value, out);
    return CheckGatewayAddress(out);
}

bool CheckGroupAddress(const char* groupAddress, std::ostream& out)
{
    return IsGroupAddressText(groupAddress) || Refuse("group address", groupAddress, out);
}

bool CheckGatewayAddress(std::ostream& out)
{
    if (IsGatewayAddressText(g_strGatewayIpAddress)) return true;
    return Refuse("gateway address", g_strGatewayIpAddress, out);
}

int ParseSeconds(const char* text, int max)
{
    if (!std::isdigit(static_cast<unsigned char>(text[0]))) return -1;
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || seconds < 1 || seconds > max) return -1;
    return static_cast<int>(seconds);
}
