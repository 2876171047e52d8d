#include <gtest/gtest.h>

#include "app/Settings.h"
#include "tests/support/TempFolder.h"

namespace {

// Sets what the file may change to a known state, then reads Kelvane.ini written in a fresh working folder.
int ReadInFolder(TempFolder& folder, const char* file)
{
    if (!folder.WorkIn()) return -1;
    if (file) folder.Write("Kelvane.ini", file);
    g_strMyOwnIpAddress = "a", g_strGatewayIpAddress = "b", g_nDebugLevel = -99;
    return ReadConfigFile();
}

}  // namespace

TEST(ReadConfigFileTest, Table)
{
    const std::string h = "[CONFIG]\n", local = "MY-OWN-IP-ADDRESS=10.0.0.9\n", ip = "10.0.0.9";
    const std::string longText(492, 'a'), shorter(491, 'a');
    struct Case {
        std::string file, local, gateway;
        int level;
    };
    // clang-format off
    const Case cases[] = {  // "a", "b", -99: not set
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
    // clang-format on
    for (const Case& c : cases) {
        TempFolder folder;
        ASSERT_EQ(ReadInFolder(folder, c.file.c_str()), 1);
        EXPECT_EQ(std::make_tuple(g_strMyOwnIpAddress.str(), g_strGatewayIpAddress.str(), g_nDebugLevel),
                  std::make_tuple(c.local, c.gateway, c.level))
            << testing::PrintToString(c.file);
    }
}

// A missing file says so and changes nothing; a folder of that name counts as missing (opening one fails
// on Windows).
TEST(ReadConfigFileTest, NoFileOrAFolderOfItsName)
{
    for (bool asFolder : {false, true}) {
        TempFolder folder;
        ASSERT_TRUE(!asFolder || std::filesystem::create_directory(folder.Path() + "/Kelvane.ini"));
        testing::internal::CaptureStdout();
        EXPECT_EQ(ReadInFolder(folder, nullptr), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: File 'Kelvane.ini' not found\n");
        EXPECT_EQ(std::make_tuple(g_strMyOwnIpAddress.str(), g_strGatewayIpAddress.str(), g_nDebugLevel),
                  std::make_tuple("a", "b", -99));
    }
}
