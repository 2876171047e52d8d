// The send command's operand checks: each text either names exactly the
// address or value that the parser then takes, or is refused.
#include <gtest/gtest.h>

#include "app/SendOperands.h"
#include "app/Settings.h"
#include "knx/Notation.h"

TEST(SendOperands, GroupAddressTexts)
{
    struct Case {
        const char* text;
        int address;
    };  // -1: refused
    const Case cases[] = {
        {"1/2/3", 0x0A03},
        {"1 2 3", 0x0A03},
        {"1.2.3", 0x0A03},
        {"31/7/255", 0xFFFF},
        {"0/0/0", 0},
        {"01/02/003", 0x0A03},
        {"1/2/3  ", 0x0A03},
        {"#0A03", 0x0A03},
        {"#a03", 0x0A03},
        {"#F", 0x000F},
        {"#ffff ", 0xFFFF},
        {"32/0/0", -1},
        {"1/8/0", -1},
        {"1/2/256", -1},
        {"1/2/300", -1},
        {"99999/1/1", -1},
        {"99999999999999999999/1/1", -1},
        {"-1/0/0", -1},
        {"+1/2/3", -1},
        {"a/b/c", -1},
        {"", -1},
        {"#", -1},
        {"#GGGG", -1},
        {"#12345", -1},
        {"#0x12", -1},
        {" #0A03", -1},
        {"1/2/3/4", -1},
        {"1/2/3x", -1},
        {"1/2", -1},
        {"1/2.3", -1},
        {"1 / 2 / 3", -1},
        {"1/ 2/ 3", -1},
        {"1  2  3", -1},
        {" 1/2/3", -1},
        {"1/2/3\t", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsGroupAddressText(c.text), c.address >= 0) << '"' << c.text << '"';
        if (c.address >= 0) {
            EXPECT_EQ(ParseGroupAddress(c.text), c.address) << '"' << c.text << '"';
        }
    }
}

TEST(SendOperands, ValueTextsByType)
{
    struct Case {
        const char* text;
        int eisType;
        bool valid;
    };
    const Case cases[] = {
        {"0", 1, true},
        {"1", 1, true},
        {"63", 1, true},
        {"+5", 1, true},
        {"-0", 1, true},
        {"007", 1, true},
        {"64", 1, false},
        {"-1", 1, false},
        {"abc", 1, false},
        {"", 1, false},
        {"1.0", 1, false},
        {" 1", 1, false},
        {"1 ", 1, false},
        {"12abc", 1, false},
        {"+", 1, false},
        {"99999999999999", 1, false},
        {"255", 6, true},
        {"200", 6, true},
        {"256", 6, false},
        {"-5", 6, false},
        // The frame builder refuses these types on its own, with its own line.
        {"abc", 5, true},
        {"12abc", 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValueText(c.text, c.eisType), c.valid) << '"' << c.text << "\" EIS" << c.eisType;
}

TEST(SendOperands, GatewayAddressTexts)
{
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"192.168.1.10", true},     {"127.1", true},      {"10.79.1.1", true},  {"0.0.0.0", true},
        {"255.255.255.255", false}, {"999.1.1.1", false}, {"localhost", false}, {"::1", false},
        {"10.79.1.1x", false},      {"abc", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsGatewayAddressText(c.text), c.valid) << '"' << c.text << '"';
}

// The first check that fails speaks, in the order of the operands; the
// gateway comes last.
TEST(SendOperands, OneLineForTheFirstFailure)
{
    struct Case {
        const char* ga;
        int eisType;
        const char* value;
        const char* gateway;
        const char* out;
    };
    const Case cases[] = {
        {"1/2/3", 1, "1", "127.0.0.2", ""},
        {"1/2/300", 1, "64", "x", "Error: Invalid group address '1/2/300'\n"},
        {"1/2/3", 1, "64", "x", "Error: Invalid value '64'\n"},
        {"1/2/3", 6, "-5", "127.0.0.2", "Error: Invalid value '-5'\n"},
        {"1/2/3", 1, "1", "255.255.255.255", "Error: Invalid gateway address '255.255.255.255'\n"},
        {"1/2/3", 1, "1", "localhost", "Error: Invalid gateway address 'localhost'\n"},
    };
    for (const Case& c : cases) {
        g_strGatewayIpAddress = c.gateway;
        testing::internal::CaptureStdout();
        bool ok = CheckSendOperands(c.ga, c.eisType, c.value);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out)
            << c.ga << " " << c.value << " " << c.gateway;
        EXPECT_EQ(ok, *c.out == '\0');
    }
    g_strGatewayIpAddress = "";
}
