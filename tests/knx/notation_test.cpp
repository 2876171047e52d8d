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
