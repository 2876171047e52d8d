#include <gtest/gtest.h>

#include "app/Settings.h"
#include "tests/support/TempFolder.h"

namespace {

struct Case {
    std::string file, local, gateway;
    int level;
};

const std::string kLocal = "MY-OWN-IP-ADDRESS=192.168.1.20\n", kIp = "192.168.1.20", kLong(492, 'a');

const Case kCases[] = {
    {"[CONFIG]\n" + kLocal + "GATEWAY-IP-ADDRESS=10.0.0.2\nDEBUG-LEVEL=2 ; verbose\n", kIp, "10.0.0.2", 2},
    {"[config]\n" + kLocal + "[CONFIGURE]\n" + kLocal, "", "", 0},  // all 8 characters compared
    {"[CONFIG] ; the client\n" + kLocal, kIp, "", 0},
    {kLocal + "[CONFIG]\n[OTHER]\n" + kLocal, "", "", 0},
    {"[CONFIG]\n" + kLocal + "[OTHER]\nDEBUG-LEVEL=5\n[CONFIG]\nDEBUG-LEVEL=1\n", kIp, "", 1},
    {"[CONFIG]\nmy-own-ip-address=192.168.1.20\n", kIp, "", 0},
    {"[CONFIG]\nMY-OWN-IP-ADDRESS = 192.168.1.20\n", "", "", 0},
    {"[CONFIG]\nMY-OWN-IP-ADDRESS= \t192.168.1.20\n", kIp, "", 0},
    {"[CONFIG]\n  MY-OWN-IP-ADDRESS=192.168.1.20\n", "", "", 0},
    {"[CONFIG]\nGATEWAY-IP-ADDRESS=GW.Local ; comment\n", "", "GW.Local", 0},
    {"[CONFIG]\nDEBUG-LEVEL=5\nDEBUG-LEVEL=abc\n", "", "", 0},
    {"[CONFIG]\nGATEWAY-IP-ADDRESS=10.0.0.1\nGATEWAY-IP-ADDRESS=\n", "", "10.0.0.1", 0},
    {"[CONFIG]\n  ;x=1\nDEBUG-LEVEL=3\n", "", "", 3},
    {"[CONFIG]\n [OTHER]\nDEBUG-LEVEL=3\n", "", "", 3},
    {" [CONFIG]\nDEBUG-LEVEL=3\n", "", "", 0},
    {"[CONFIG]\n=10.0.0.1\n", "", "", 0},
    {"[CONFIG]\nGATEWAY-IP-ADDRESS 10.0.0.1\n", "", "", 0},
    {"[CONFIG]\nDEBUG-LEVEL=-7", "", "", -7},
    {"[CONFIG]\r\nGATEWAY-IP-ADDRESS=10.0.0.1\r\n\r\nDEBUG-LEVEL=4\r\n", "", "10.0.0.1", 4},
    {"[CONFIG]\nA=1\rDEBUG-LEVEL=4\n", "", "", 0},
    // Lines are read in pieces of 511 characters, each piece counting as a line.
    {"[CONFIG]\nX=" + std::string(509, 'y') + "DEBUG-LEVEL=9" + std::string(75, ' ') + "\n", "", "", 9},
    {"[CONFIG]\nGATEWAY-IP-ADDRESS=" + kLong + "bbb\n", "", kLong, 0},
    {"[CONFIG]\nGATEWAY-IP-ADDRESS=" + kLong.substr(1) + "\r\nDEBUG-LEVEL=6\r\n", "", kLong.substr(1), 6},
    // Windows editors put a UTF-8 byte-order mark first; the header still counts.
    {"\xEF\xBB\xBF[CONFIG]\n" + kLocal, kIp, "", 0},
    {"\xEF\xBB\xBF", "", "", 0},
    {"[CONFIG]\n\xEF\xBB\xBF" "DEBUG-LEVEL=3\n", "", "", 0},
};

}  // namespace

TEST(ReadConfigFileTest, Table)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(c.file));
        TempFolder folder;
        ASSERT_TRUE(folder.Ok() && folder.WorkIn());
        folder.Write("Kelvane.ini", c.file);
        g_strMyOwnIpAddress = g_strGatewayIpAddress = "";
        g_nDebugLevel = 0;
        ASSERT_EQ(ReadConfigFile(), 1);
        EXPECT_EQ(g_strMyOwnIpAddress.str(), c.local);
        EXPECT_EQ(g_strGatewayIpAddress.str(), c.gateway);
        EXPECT_EQ(g_nDebugLevel, c.level);
    }
}

// A missing file says so and changes nothing; a folder of that name counts
// as missing (opening one fails on Windows); a file changes only what it names.
TEST(ReadConfigFileTest, SettingsNotNamedKeepTheirValues)
{
    for (int kind : {0, 1, 2}) {  // none, a folder, a file
        TempFolder folder;
        ASSERT_TRUE(folder.Ok() && folder.WorkIn());
        if (kind == 2) folder.Write("Kelvane.ini", "[CONFIG]\nDEBUG-LEVEL=1\n");
        ASSERT_TRUE(kind != 1 || std::filesystem::create_directory(folder.Path() + "/Kelvane.ini"));
        g_strMyOwnIpAddress = "a";
        g_strGatewayIpAddress = "b";
        g_nDebugLevel = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(ReadConfigFile(), kind == 2);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  kind == 2 ? "" : "Error: File 'Kelvane.ini' not found\n");
        EXPECT_EQ(g_strMyOwnIpAddress.str() + g_strGatewayIpAddress.str(), "ab");
        EXPECT_EQ(g_nDebugLevel, kind == 2) << kind;
    }
}
