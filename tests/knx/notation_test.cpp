#include <gtest/gtest.h>

#include "knx/Notation.h"

// Both texts are held at once, as a report line does: each function keeps a buffer of its own.
TEST(AddressTextTest, GroupAndIndividualForms)
{
    const char* individual = IndividualAddressText(0xFFFF);
    EXPECT_STREQ(GroupAddressText(0x0000), "0/0/0");
    EXPECT_STREQ(individual, "15.15.255");
    for (unsigned value = 0; value <= 0xFFFF; value += 0x0101)
        EXPECT_EQ(ParseGroupAddress(GroupAddressText(WORD(value))), value) << GroupAddressText(WORD(value));
}

// The scale is the single-precision 0.01, so none of these is the nearest double to the decimal value.
TEST(DecodeKnxFloatTest, ExactValues)
{
    const std::pair<WORD, double> cases[] = {{0x87FF, -0.009999999776482582}, {0x8000, -20.479999542236328},
        {0x0C65, 22.49999949708581}, {0xF800, -671088.625}, {0x7FFF, 670760.9450073242}};
    for (const auto& c : cases) EXPECT_EQ(DecodeKnxFloat(c.first), c.second) << std::hex << c.first;
}

// The texts themselves show in the frame reports.
TEST(ByteDumpTest, NoLengthNoText)
{
    EXPECT_EQ(BytesToDecText(nullptr, -1) + BytesToHexText(nullptr, -5), "");
}
