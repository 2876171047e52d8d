// The settings as read from Kelvane.ini, and the dispatcher's steps before a command runs.
#include <gtest/gtest.h>

#include <sstream>

#include <fstream>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "platform/wsock.h"
#include "tests/support/TempFolder.h"

static int ReadInFolder(TempFolder& folder, const char* file)
{
    if (!folder.WorkIn()) return -1;
    if (file) std::ofstream("Kelvane.ini", std::ios::binary) << file;
    g_strMyOwnIpAddress = "a", g_strGatewayIpAddress = "b", g_nDebugLevel = -99;
    return ReadConfigFile();
}
static auto Settings()
{
    return std::make_tuple(g_strMyOwnIpAddress.str(), g_strGatewayIpAddress.str(), g_nDebugLevel);
}

TEST(ReadConfigFileTest, Table)
{
    const std::string h = "[CONFIG]\n", local = "MY-OWN-IP-ADDRESS=10.0.0.9\n", ip = "10.0.0.9";
    const std::string longText(492, 'a'), shorter(491, 'a');
    const std::tuple<std::string, std::string, std::string, int> cases[] = {  // "a", "b", -99: not set
        {h + local + "GATEWAY-IP-ADDRESS=10.0.0.2\nDEBUG-LEVEL=2 ; verbose\n", ip, "10.0.0.2", 2},
        {"[config]\n" + local + "[CONFIGURE]\n" + local, "a", "b", -99},  // all 8 characters compared
        {"[CONFIG] ; the client\n" + local, ip, "b", -99}, {local + h + "[OTHER]\n" + local, "a", "b", -99},
        {h + local + "[OTHER]\nDEBUG-LEVEL=5\n" + h + "DEBUG-LEVEL=1\n", ip, "b", 1},
        {h + "my-own-ip-address=10.0.0.9\n", ip, "b", -99}, {h + "MY-OWN-IP-ADDRESS= \t" + ip, ip, "b", -99},
        {h + "MY-OWN-IP-ADDRESS = 10.0.0.9\n  MY-OWN-IP-ADDRESS=10.0.0.9\n", "a", "b", -99},
        {h + "GATEWAY-IP-ADDRESS=GW.Local ; comment\n", "a", "GW.Local", -99},
        {h + "DEBUG-LEVEL=5\nDEBUG-LEVEL=abc\n", "a", "b", 0}, {h + "DEBUG-LEVEL=-7", "a", "b", -7},
        {h + "GATEWAY-IP-ADDRESS=10.0.0.1\nGATEWAY-IP-ADDRESS=\n", "a", "10.0.0.1", -99},
        {h + "  ;x=1\n [OTHER]\nDEBUG-LEVEL=3\n", "a", "b", 3}, {" [CONFIG]\nDEBUG-LEVEL=3\n", "a", "b", -99},
        {h + "=10.0.0.1\nGATEWAY-IP-ADDRESS 10.0.0.1\n", "a", "b", -99},
        {"[CONFIG]\r\nGATEWAY-IP-ADDRESS=10.0.0.1\r\n\r\nDEBUG-LEVEL=4\r\n", "a", "10.0.0.1", 4},
        // Lines are read in pieces of 511 characters, each piece counting as a line.
        {h + "X=" + std::string(509, 'y') + "DEBUG-LEVEL=9" + std::string(75, ' ') + "\n", "a", "b", 9},
        {h + "GATEWAY-IP-ADDRESS=" + longText + "bbb\n", "a", longText, -99},
        {h + "GATEWAY-IP-ADDRESS=" + shorter + "\r\nDEBUG-LEVEL=6\r\n", "a", shorter, 6},
        // Windows editors put a UTF-8 byte-order mark first; the header still counts, and only there.
        {"\xEF\xBB\xBF[CONFIG]\n" + local, ip, "b", -99}, {"\xEF\xBB\xBF", "a", "b", -99},
        {h + "\xEF\xBB\xBF" "DEBUG-LEVEL=3\n", "a", "b", -99}, {h + "A=1\rDEBUG-LEVEL=4\n", "a", "b", -99},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        ASSERT_EQ(ReadInFolder(folder, std::get<0>(c).c_str()), 1);
        EXPECT_EQ(Settings(), std::make_tuple(std::get<1>(c), std::get<2>(c), std::get<3>(c)))
            << testing::PrintToString(std::get<0>(c));
    }
}

// A folder of that name counts as no file (opening one fails on Windows): it says so and changes nothing.
TEST(ReadConfigFileTest, AFolderOfItsNameIsNoFile)
{
    TempFolder folder;
    ASSERT_TRUE(std::filesystem::create_directory(folder.Path() + "/Kelvane.ini"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadInFolder(folder, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: File 'Kelvane.ini' not found\n");
    EXPECT_EQ(Settings(), std::make_tuple("a", "b", -99));
}

// What an earlier read set is gone before the next.
TEST(DispatchTest, SettingsResetBeforeReading)
{
    TempFolder folder;
    ASSERT_EQ(ReadInFolder(folder, "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n"), 1);  // own address "a"
    std::ostringstream out;
    EXPECT_EQ(PrepareCommand(out), Prepared::kNoLocalAddress) << "the earlier address is gone";
    EXPECT_EQ(g_nDebugLevel, 0) << "the earlier level is gone";
#ifndef _WIN32  // Windows' own WSAStartup cannot be made to fail
    // The checks write to the stream given (the read's is standard error), the socket failure's line too.
    std::ofstream("Kelvane.ini", std::ios::binary) << "[CONFIG]\nMY-OWN-IP-ADDRESS=a\nGATEWAY-IP-ADDRESS=b\n";
    out.str(""), g_wsockFaults.bFailStartup = TRUE;
    testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
    EXPECT_EQ(PrepareCommand(out), Prepared::kNoSockets);
    g_wsockFaults.bFailStartup = FALSE;
    EXPECT_EQ(testing::internal::GetCapturedStdout() + out.str(), "Error: AfxSocketInit failed\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Windows-Sockets"), std::string::npos);
#endif
}

// Only the whole word names a command (the program tests see the case ignored and send's operands).
TEST(DispatchTest, CommandWords)
{
    const std::pair<std::vector<std::string>, int> cases[] = {{{"sEaRcH", "1/2/3"}, CommandLine::kSearch},
        {{"searchx"}, CommandLine::kNone}, {{" send", "1/2/3", "EIS1", "1"}, CommandLine::kNone}};
    for (auto [args, kind] : cases) {
        std::vector<char*> argv{const_cast<char*>("kelvane")};
        for (std::string& arg : args) argv.push_back(&arg[0]);
        EXPECT_EQ(ParseCommandLine(int(argv.size()), argv.data()).kind, kind) << testing::PrintToString(args);
    }
}
