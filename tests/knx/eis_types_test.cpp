// Every EIS type's value texts and telegram bytes, both ways.
#include <gtest/gtest.h>

#include "knx/EisTypes.h"
#include "tests/support/Hex.h"

static std::string HexOf(const EisData& data) { return HexOf(Bytes(data.bytes, data.bytes + data.length)); }

// Text as typed, the bytes from the APCI byte on (none: refused), and the text read back when it is
// not the one typed. The floats' rows stand at the edges of a mantissa, an exponent and the range.
TEST(EisTypesTest, EveryValueBothWaysAndTheRefusedTexts)
{
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {1, "0", "00", ""}, {1, "63", "3F", ""}, {1, "+5", "05", "5"}, {1, "-0", "00", "0"},
        {1, "007", "07", "7"}, {1, "64", "", ""}, {1, "-1", "", ""}, {1, "", "", ""}, {1, " 1", "", ""},
        {1, "1 ", "", ""}, {1, "99999999999999999999", "", ""}, {2, "15", "0F", ""}, {2, "16", "", ""},
        {3, "7:5:0", "00 07 05 00", "07:05:00"}, {3, "23:59:59", "00 17 3B 3B", ""}, {3, "24:00:00", "", ""},
        {3, "12:60:00", "", ""}, {3, "12:00:60", "", ""}, {3, "12:00", "", ""}, {3, "012:00:00", "", ""},
        {3, "12:00:00 ", "", ""}, {3, "12.00.00", "", ""},
        {4, "1990-01-01", "00 01 01 5A", ""}, {4, "2089-12-31", "00 1F 0C 59", ""},
        {4, "2024-2-29", "00 1D 02 18", "2024-02-29"}, {4, "2000-02-29", "00 1D 02 00", ""},
        {4, "1989-12-31", "", ""}, {4, "2090-01-01", "", ""}, {4, "2023-02-29", "", ""},
        {4, "2024-04-31", "", ""}, {4, "2024-13-01", "", ""}, {4, "2024-01-00", "", ""},
        {4, "24-01-01", "", ""}, {4, "2024/01/01", "", ""},
        {5, "-30", "00 8A 24", ""}, {5, "0", "00 00 00", ""}, {5, "-0.01", "00 87 FF", ""},
        {5, "20.47", "00 07 FF", ""}, {5, "20.48", "00 0C 00", ""}, {5, "-20.48", "00 80 00", ""},
        {5, "20.49", "00 0C 01", "20.5"}, {5, "-20.49", "00 8B FF", "-20.5"},
        {5, "21.555", "00 0C 36", "21.56"}, {5, "-0.004", "00 00 00", "0"}, {5, "670760.96", "00 7F FF", ""},
        {5, "-671088.64", "00 F8 00", ""}, {5, "670760.9600000000001", "", ""}, {5, "-671088.65", "", ""},
        {5, "21,5", "", ""}, {5, ".5", "", ""}, {5, "5.", "", ""}, {6, "255", "00 FF", ""}, {6, "256", "", ""},
        {7, "1", "01", ""}, {7, "2", "", ""}, {8, "3", "03", ""}, {8, "4", "", ""}, {6, "0x10", "", ""},
        {9, "-1.0", "00 BF 80 00 00", "-1"}, {9, "0.1", "00 3D CC CC CD", ""}, {9, "-0", "00 80 00 00 00", ""},
        {9, "1E20", "00 60 AD 78 EC", "1e20"}, {9, "3.4028235e38", "00 7F 7F FF FF", ""},
        {9, "1e-45", "00 00 00 00 01", ""}, {9, "16777217", "00 4B 80 00 00", "16777216"}, {9, "1e39", "", ""},
        {9, "nan", "", ""}, {9, "1.", "", ""}, {9, "1e", "", ""}, {9, "0x1p3", "", ""},
        {10, "65535", "00 FF FF", ""}, {10, "-32768", "00 80 00", "32768"}, {10, "-1", "00 FF FF", "65535"},
        {10, "65536", "", ""}, {10, "-32769", "", ""}, {11, "4294967295", "00 FF FF FF FF", ""},
        {11, "-2147483648", "00 80 00 00 00", "2147483648"}, {11, "16909060", "00 01 02 03 04", ""},
        {11, "4294967296", "", ""}, {11, "-2147483649", "", ""}, {12, "4294967295", "00 FF FF FF FF", ""},
        {12, "-1", "", ""},
        {13, " ", "00 20", ""}, {13, "~", "00 7E", ""}, {13, "", "", ""}, {13, "AB", "", ""},
        {13, "\x7F", "", ""}, {13, "\xFC", "", ""}, {14, "255", "00 FF", ""}, {14, "-128", "00 80", "128"},
        {14, "256", "", ""}, {14, "-129", "", ""},
        {15, "", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", ""},
        {15, "abcdefghijklmn", "00 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E", ""},
        {15, "abcdefghijklmno", "", ""}, {0, "1", "", ""}, {16, "1", "", ""},
    };
    for (const auto& [type, text, hex, back] : cases) {
        EisData data;
        data.length = -1;
        const bool encoded = EncodeEisValue(type, text, data);
        CString decoded = "(not read)";
        if (encoded && !DecodeEisValue(type, data, decoded)) decoded = "(refused)";
        EXPECT_EQ(encoded ? HexOf(data) + " | " + decoded : data.length == -1 ? "" : "(changed)",
                  *hex ? std::string(hex) + " | " + (*back ? back : text) : "")
            << "EIS" << type << " \"" << text << '"';
    }
}

// Bytes from the bus: the APCI bits, a weekday and unused bits are not the value's; an encoding that
// send would write otherwise reads as its value; a wrong length or a value out of range is none.
TEST(EisTypesTest, ReceivedBytes)
{
    const std::tuple<int, const char*, const char*> cases[] = {{2, "7F", "15"}, {3, "00 F5 C5 09", "21:05:09"},
        {5, "00 09 F4", "10"}, {4, "00 E1 F1 D9", "2089-01-01"}, {1, "80 00", nullptr}, {6, "00", nullptr},
        {3, "00 18 00 00", nullptr}, {3, "00 00 3C 00", nullptr}, {4, "00 1E 02 18", nullptr},
        {4, "00 01 01 64", nullptr}, {9, "00 7F 80 00 00", nullptr}, {9, "00 FF C0 00 00", nullptr},
        {13, "00 00", nullptr}, {15, "00 41 00 42 00 00 00 00 00 00 00 00 00 00 00", nullptr},
        {15, "00 41 0A 00 00 00 00 00 00 00 00 00 00 00 00", nullptr}, {0, "00", nullptr}};
    for (const auto& [type, hex, text] : cases) {
        const Bytes bytes = ParseHex(hex);
        EisData data;
        data.length = static_cast<int>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.bytes);
        CString decoded = "untouched";
        EXPECT_EQ(DecodeEisValue(type, data, decoded) ? decoded : CString(), text ? text : "")
            << "EIS" << type << " " << hex;
    }
}
