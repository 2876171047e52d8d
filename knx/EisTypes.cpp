#include "knx/EisTypes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct EisRow;
typedef bool (*Encoder)(const EisRow& row, const char* text, EisData& data);
typedef bool (*Decoder)(const EisRow& row, const EisData& data, CString& text);

// One type: where its value goes, the range of the value in the codec's
// unit, and the codec that writes and reads it.
struct EisRow {
    int dataBytes;  // after the APCI byte; 0: the short form, beside it
    long long min, max;
    Encoder encode;
    Decoder decode;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsPrintable(char c) { return c >= 0x20 && c <= 0x7E; }

// A run of minDigits to maxDigits decimal digits; text moves past it.
bool ReadDigits(const char*& text, int minDigits, int maxDigits, int& value)
{
    int count = 0;
    for (value = 0; IsDigit(*text) && count < maxDigits; ++text, ++count) value = value * 10 + (*text - '0');
    return count >= minDigits && !IsDigit(*text);
}

// Moves text past a run of decimal digits; false when there is none.
bool SkipDigits(const char*& text)
{
    const char* start = text;
    while (IsDigit(*text)) ++text;
    return text != start;
}

bool ReadSign(const char*& text)
{
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    return negative;
}

// A whole decimal number with an optional sign and nothing else; its
// magnitude saturates far above any range, so a long run cannot overflow.
bool ParseWhole(const char* text, long long& value)
{
    const long long kSaturated = 100000000000000LL;
    const bool negative = ReadSign(text);
    if (!IsDigit(*text)) return false;
    long long magnitude = 0;
    for (; IsDigit(*text); ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > kSaturated) magnitude = kSaturated;
    }
    value = negative ? -magnitude : magnitude;
    return *text == '\0';
}

// Whole numbers: the short form holds the value in the bits that max spans
// (max is one below a power of two there); the long form big-endian, two's
// complement below 0, and reads back unsigned.
bool EncodeWhole(const EisRow& row, const char* text, EisData& data)
{
    long long value = 0;
    if (!ParseWhole(text, value) || value < row.min || value > row.max) return false;
    const unsigned long long bits = static_cast<unsigned long long>(value);
    if (row.dataBytes == 0) data.bytes[0] = static_cast<BYTE>(bits);
    for (int i = 0; i < row.dataBytes; ++i)
        data.bytes[row.dataBytes - i] = static_cast<BYTE>(bits >> (8 * i));
    return true;
}

bool DecodeWhole(const EisRow& row, const EisData& data, CString& text)
{
    unsigned long long value = row.dataBytes == 0 ? (data.bytes[0] & row.max) : 0;
    for (int i = 1; i <= row.dataBytes; ++i) value = value << 8 | data.bytes[i];
    text.Format("%llu", value);
    return true;
}

// Time of day, HH:MM:SS (one digit each is taken too); the weekday bits of
// the hour byte are written 0 and not read, nor are the unused bits above.
bool EncodeTime(const EisRow&, const char* text, EisData& data)
{
    int hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, 1, 2, hour) || *text++ != ':' || !ReadDigits(text, 1, 2, minute) ||
        *text++ != ':' || !ReadDigits(text, 1, 2, second) || *text != '\0')
        return false;
    if (hour > 23 || minute > 59 || second > 59) return false;
    data.bytes[1] = static_cast<BYTE>(hour);
    data.bytes[2] = static_cast<BYTE>(minute);
    data.bytes[3] = static_cast<BYTE>(second);
    return true;
}

bool DecodeTime(const EisRow&, const EisData& data, CString& text)
{
    const int hour = data.bytes[1] & 0x1F, minute = data.bytes[2] & 0x3F, second = data.bytes[3] & 0x3F;
    if (hour > 23 || minute > 59 || second > 59) return false;
    text.Format("%02d:%02d:%02d", hour, minute, second);
    return true;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool IsDate(const EisRow& row, int year, int month, int day)
{
    return year >= row.min && year <= row.max && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

// A date of the calendar, YYYY-MM-DD; the year travels modulo 100, the
// century follows from the range (1990 to 2089).
bool EncodeDate(const EisRow& row, const char* text, EisData& data)
{
    int year = 0, month = 0, day = 0;
    if (!ReadDigits(text, 4, 4, year) || *text++ != '-' || !ReadDigits(text, 1, 2, month) || *text++ != '-' ||
        !ReadDigits(text, 1, 2, day) || *text != '\0' || !IsDate(row, year, month, day))
        return false;
    data.bytes[1] = static_cast<BYTE>(day);
    data.bytes[2] = static_cast<BYTE>(month);
    data.bytes[3] = static_cast<BYTE>(year % 100);
    return true;
}

bool DecodeDate(const EisRow& row, const EisData& data, CString& text)
{
    const int day = data.bytes[1] & 0x1F, month = data.bytes[2] & 0x0F, yy = data.bytes[3] & 0x7F;
    const int year = yy + (yy >= row.min % 100 ? 1900 : 2000);
    if (yy > 99 || !IsDate(row, year, month, day)) return false;
    text.Format("%04d-%02d-%02d", year, month, day);
    return true;
}

// A decimal text [+-]digits[.digits] as an exact fraction: the magnitude is
// digits / 10^scale, or a little more when sticky (digits beyond the ninth
// after the point that are not all 0). Ten million and above saturate.
struct Decimal {
    bool negative = false;
    long long digits = 0;
    long long scale = 1;  // a power of ten
    bool sticky = false;
};

bool ParseDecimal(const char* text, Decimal& d)
{
    d.negative = ReadSign(text);
    if (!IsDigit(*text)) return false;
    for (; IsDigit(*text); ++text) d.digits = std::min(d.digits * 10 + (*text - '0'), 10000000LL);
    if (*text == '.' && !IsDigit(*++text)) return false;
    for (; IsDigit(*text); ++text) {
        if (d.scale < 1000000000LL) {
            d.digits = d.digits * 10 + (*text - '0');
            d.scale *= 10;
        } else if (*text != '0') {
            d.sticky = true;
        }
    }
    return *text == '\0';
}

// The 2-byte float: mantissa M (12 bits, two's complement) times 0.01 times
// 2^E. The range is in hundredths; the smallest E whose M fits is taken, M
// rounded to nearest (halves away from zero).
bool EncodeFloat16(const EisRow& row, const char* text, EisData& data)
{
    Decimal d;
    if (!ParseDecimal(text, d)) return false;
    const long long hundredths = d.digits * 100;  // over d.scale
    const long long bound = (d.negative ? -row.min : row.max) * d.scale;
    if (hundredths > bound || (hundredths == bound && d.sticky)) return false;
    for (int exponent = 0; exponent <= 15; ++exponent) {
        const long long divisor = d.scale << exponent;
        long long mantissa = hundredths / divisor;
        if (2 * (hundredths % divisor) >= divisor) ++mantissa;
        if (mantissa > (d.negative ? 2048 : 2047)) continue;
        if (d.negative) mantissa = -mantissa;
        const int raw = (mantissa < 0 ? 0x8000 : 0) | exponent << 11 | (mantissa & 0x7FF);
        data.bytes[1] = static_cast<BYTE>(raw >> 8);
        data.bytes[2] = static_cast<BYTE>(raw);
        return true;
    }
    return false;  // not reached: the range ends where E = 15 runs out
}

// Exact: the value is a whole number of hundredths. A value that has more
// than one encoding reads the same from each.
bool DecodeFloat16(const EisRow&, const EisData& data, CString& text)
{
    const int raw = data.bytes[1] << 8 | data.bytes[2];
    const int mantissa = (raw & 0x7FF) - (raw & 0x8000 ? 2048 : 0);
    const long long hundredths = static_cast<long long>(mantissa) * (1 << (raw >> 11 & 15));
    const long long magnitude = std::llabs(hundredths), whole = magnitude / 100, cents = magnitude % 100;
    const char* sign = hundredths < 0 ? "-" : "";
    if (cents == 0) text.Format("%s%lld", sign, whole);
    else if (cents % 10 == 0) text.Format("%s%lld.%lld", sign, whole, cents / 10);
    else text.Format("%s%lld.%02lld", sign, whole, cents);
    return true;
}

// [+-]digits[.digits][e[+-]digits]: what the 4-byte float is typed as, and
// what its decoding writes.
bool IsFloatText(const char* text)
{
    ReadSign(text);
    if (!SkipDigits(text)) return false;
    if (*text == '.' && !SkipDigits(++text)) return false;
    if (*text == 'e' || *text == 'E') {
        ReadSign(++text);
        if (!SkipDigits(text)) return false;
    }
    return *text == '\0';
}

DWORD BitsOf(float value)
{
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// IEEE 754 single precision, big-endian; a text beyond its range is refused,
// one too small for it gives 0.
bool EncodeFloat32(const EisRow&, const char* text, EisData& data)
{
    if (!IsFloatText(text)) return false;
    const float value = std::strtof(text, nullptr);
    if (std::isinf(value)) return false;
    const DWORD bits = BitsOf(value);
    for (int i = 0; i < 4; ++i) data.bytes[4 - i] = static_cast<BYTE>(bits >> (8 * i));
    return true;
}

// The exponent of a %g text without "+" and leading zeros, as every C
// library then writes it ("1e+020" and "1e+20" both become "1e20").
CString PlainExponent(const CString& text)
{
    const size_t e = text.find('e');
    if (e == CString::npos) return text;
    CString plain = text.substr(0, e + 1);
    size_t i = e + 1;
    if (text[i] == '+' || text[i] == '-') {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    while (i + 1 < text.size() && text[i] == '0') ++i;
    return plain + text.substr(i);
}

// The fewest significant digits that read back as the same float.
bool DecodeFloat32(const EisRow&, const EisData& data, CString& text)
{
    DWORD bits = 0;
    for (int i = 1; i <= 4; ++i) bits = bits << 8 | data.bytes[i];
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) return false;
    for (int precision = 1; precision <= 9; ++precision) {
        text.Format("%.*g", precision, static_cast<double>(value));
        if (BitsOf(std::strtof(text, nullptr)) == bits) break;
    }
    text = PlainExponent(text);
    return true;
}

// Printable ASCII characters, min to max of them, in the data bytes and
// padded with 0; read back up to the first 0, which only 0s may follow.
bool EncodeCharacters(const EisRow& row, const char* text, EisData& data)
{
    const size_t length = std::strlen(text);
    if (static_cast<long long>(length) < row.min || static_cast<long long>(length) > row.max) return false;
    for (size_t i = 0; i < length; ++i)
        if (!IsPrintable(text[i])) return false;
    std::memcpy(data.bytes + 1, text, length);
    return true;
}

bool DecodeCharacters(const EisRow& row, const EisData& data, CString& text)
{
    const char* characters = reinterpret_cast<const char*>(data.bytes + 1);
    CString value(std::string(characters, row.dataBytes).c_str());
    if (static_cast<long long>(value.size()) < row.min) return false;
    for (int i = 0; i < row.dataBytes; ++i) {
        const bool inText = i < static_cast<int>(value.size());
        if (inText ? !IsPrintable(characters[i]) : characters[i] != 0) return false;
    }
    text = value;
    return true;
}

// EIS1 to EIS15 in order. EIS1's six bits and EIS6's byte are as they always were.
const EisRow kTypes[kEisTypeCount] = {
    {0, 0, 63, EncodeWhole, DecodeWhole},                        // EIS1 switch (0 or 1 for on and off)
    {0, 0, 15, EncodeWhole, DecodeWhole},                        // EIS2 dimming control
    {3, 0, 0, EncodeTime, DecodeTime},                           // EIS3 time of day
    {3, 1990, 2089, EncodeDate, DecodeDate},                     // EIS4 date, the years
    {2, -67108864, 67076096, EncodeFloat16, DecodeFloat16},      // EIS5 2-byte float, in hundredths
    {1, 0, 255, EncodeWhole, DecodeWhole},                       // EIS6 one byte
    {0, 0, 1, EncodeWhole, DecodeWhole},                         // EIS7 drive control
    {0, 0, 3, EncodeWhole, DecodeWhole},                         // EIS8 priority
    {4, 0, 0, EncodeFloat32, DecodeFloat32},                     // EIS9 4-byte float
    {2, -32768, 65535, EncodeWhole, DecodeWhole},                // EIS10 16-bit counter
    {4, -2147483648LL, 4294967295LL, EncodeWhole, DecodeWhole},  // EIS11 32-bit counter
    {4, 0, 4294967295LL, EncodeWhole, DecodeWhole},              // EIS12 access control
    {1, 1, 1, EncodeCharacters, DecodeCharacters},               // EIS13 one character
    {1, -128, 255, EncodeWhole, DecodeWhole},                    // EIS14 8-bit counter
    {14, 0, 14, EncodeCharacters, DecodeCharacters},             // EIS15 text, the characters
};

const EisRow* RowOf(int eisType)
{
    return eisType >= 1 && eisType <= kEisTypeCount ? &kTypes[eisType - 1] : nullptr;
}

}  // namespace

int ParseEisType(CString name)
{
    name.MakeUpper();
    for (int type = 1; type <= kEisTypeCount; ++type) {
        CString typeName;
        typeName.Format("EIS%d", type);
        if (name == typeName) return type;
    }
    return 0;
}

bool EncodeEisValue(int eisType, const char* text, EisData& data)
{
    const EisRow* row = RowOf(eisType);
    EisData encoded;
    encoded.length = row != nullptr ? 1 + row->dataBytes : 0;
    if (row == nullptr || !row->encode(*row, text, encoded)) return false;
    data = encoded;
    return true;
}

bool DecodeEisValue(int eisType, const EisData& data, CString& text)
{
    const EisRow* row = RowOf(eisType);
    if (row == nullptr || data.length != 1 + row->dataBytes) return false;
    return row->decode(*row, data, text);
}
