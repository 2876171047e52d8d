#include <gtest/gtest.h>

#include <string>

#include "knx/Notation.h"

TEST(ParseGroupAddressTest, Table)
{
    struct Case {
        const char* text;
        WORD expected;
    };
    const Case cases[] = {
        {"1/2/3", 0x0A03},
        {"1 2 3", 0x0A03},
        {"1.2.3", 0x0A03},
        {"1/ 2/ 3", 0x0A03},
        {" 1/2/3", 0x0A03},  // blanks before a number are skipped
        {"1 / 2 / 3", 0},    // a separator must follow its number directly
        {"31/7/255", 0xFFFF},
        {"32/8/256", 0},  // each number cut to its field
        {"-1/0/0", 0xF800},
        {"0/0/-1", 0x00FF},
        {"1/2/3abc", 0x0A03},
        {"1/2/3/4", 0x0A03},
        {"1/2", 0},
        {"1/2.3", 0},
        {"1.2/3", 0},
        {"#0A03", 0x0A03},
        {"#a03", 0x0A03},
        {"#ffff", 0xFFFF},
        {"#12345", 0x1234},  // four digits read
        {"#", 0},
        {"#xyz", 0},
        {" #0A03", 0},  // the # must come first
        {"", 0},
        {"abc", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseGroupAddress(c.text), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(ParseEisTypeTest, Table)
{
    struct Case {
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"EIS1", 1},  {"eis6", 6},  {"Eis6", 6},  {"EIS6", 6},  {"EIS15", 15},
        {"eis9", 9},  {"EIS16", 0}, {"EIS01", 0}, {"EIS 1", 0}, {"EIS0", 0},
        {"EIS1 ", 0}, {" EIS1", 0}, {"EIS", 0},   {"", 0},      {"DPT1", 0},
    };
    for (const Case& c : cases) {
        CString name(c.name);
        EXPECT_EQ(ParseEisType(name), c.expected) << "name: \"" << c.name << "\"";
        EXPECT_EQ(name, c.name) << "the caller's text is left as it was";
    }
}

// Both texts are held at once, as a report line does: each function keeps
// a buffer of its own.
TEST(AddressTextTest, GroupAndIndividualForms)
{
    const char* individual = IndividualAddressText(0xFFFF);
    EXPECT_STREQ(GroupAddressText(0x0000), "0/0/0");
    EXPECT_STREQ(individual, "15.15.255");
    EXPECT_STREQ(IndividualAddressText(0x1105), "1.1.5");
    for (unsigned value = 0; value <= 0xFFFF; value += 0x0101) {
        WORD address = static_cast<WORD>(value);
        EXPECT_EQ(ParseGroupAddress(GroupAddressText(address)), address) << GroupAddressText(address);
    }
    EXPECT_STREQ(GroupAddressText(0xFFFF), "31/7/255");
}

TEST(DecodeKnxFloatTest, ExactValues)
{
    struct Case {
        WORD raw;
        double expected;
    };
    // The scale is the single-precision 0.01, so none of these is the
    // nearest double to the decimal value.
    const Case cases[] = {
        {0x0000, 0.0},
        {0x0800, 0.0},
        {0x7800, 0.0},
        {0x0001, 0.009999999776482582},
        {0x07FF, 20.469999542459846},
        {0x87FF, -0.009999999776482582},
        {0x8000, -20.479999542236328},
        {0x0C1A, 20.999999530613422},
        {0x0C65, 22.49999949708581},
        {0xF800, -671088.625},
        {0x7FFF, 670760.9450073242},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeKnxFloat(c.raw), c.expected) << std::hex << "raw: 0x" << c.raw;
    }
}

TEST(ByteDumpTest, DecimalAndHex)
{
    const BYTE bytes[] = {0x06, 0x10, 0xFF, 0x80, 0xAB};
    EXPECT_EQ(BytesToDecText(bytes, 5), "6 16 255 128 171 ");
    EXPECT_EQ(BytesToHexText(bytes, 5), "06 10 ff 80 ab ");
    EXPECT_EQ(BytesToDecText(bytes, 0), "");
    EXPECT_EQ(BytesToHexText(bytes, 0), "");
    EXPECT_EQ(BytesToDecText(bytes, -1), "");
    EXPECT_EQ(BytesToHexText(nullptr, -5), "");
}
