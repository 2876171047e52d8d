// The programs' operand checks: a text names exactly what the parser takes, or is refused.
#include <gtest/gtest.h>

#include "app/Monitor.h"
#include "app/SendOperands.h"
#include "knx/EisTypes.h"
#include "knx/Notation.h"

TEST(Operands, TextsTakenOrRefused)
{
    const std::pair<const char*, int> taken[] = {{"1/2/3", 0x0A03}, {"1 2 3", 0x0A03}, {"1.2.3", 0x0A03},
        {"31/7/255", 0xFFFF}, {"0/0/0", 0}, {"01/02/003", 0x0A03}, {"1/2/3  ", 0x0A03}, {"#0A03", 0x0A03},
        {"#a03", 0x0A03}, {"#F", 0x000F}, {"#ffff ", 0xFFFF}};
    const char* refused[] = {"1/ 2/ 3", " 1/2/3", "1 / 2 / 3", "32/8/256", "-1/0/0", "0/0/-1", "1/2/3/4",
        "1/2", "1/2.3", "#12345", "#", "#xyz", " #0A03", "", "abc", "32/0/0", "1/8/0", "1/2/256",
        "99999999999999999999/1/1", "+1/2/3", "#GGGG", "#0x12", "1  2  3", "1/2/3\t"};
    for (auto [text, address] : taken)
        EXPECT_TRUE(IsGroupAddressText(text) && ParseGroupAddress(text) == address) << '"' << text << '"';
    for (const char* text : refused) EXPECT_FALSE(IsGroupAddressText(text)) << '"' << text << '"';
    const std::pair<const char*, bool> gateways[] = {{"192.168.1.10", true}, {"127.1", true},
        {"0.0.0.0", false}, {"0", false}, {"255.255.255.255", false}, {"999.1.1.1", false}, {"localhost", false},
        {"::1", false}, {"10.79.1.1x", false}};
    for (const auto& [text, valid] : gateways) EXPECT_EQ(IsGatewayAddressText(text), valid) << text;
    const std::pair<const char*, int> types[] = {
        {"EIS1", 1}, {"eis9", 9}, {"EIS15", 15}, {"EIS16", 0}, {"EIS0", 0}, {"EIS1 ", 0}, {" EIS1", 0}};
    for (const auto& [text, type] : types) EXPECT_EQ(ParseEisType(text), type) << '"' << text << '"';
    const std::pair<const char*, int> seconds[] = {{"1", 1}, {"31536000", 31536000}, {"0", -1},
        {"31536001", -1}, {"99999999999999999999", -1}, {"+5", -1}, {" 5", -1}, {"5s", -1}, {"", -1}};
    for (const auto& [text, value] : seconds) EXPECT_EQ(ParseMonitorSeconds(text), value) << text;
}
