#include <gtest/gtest.h>

#include <string>

#include "app/Settings.h"
#include "tests/support/TempFolder.h"

namespace {

struct Settings {
    std::string local;
    std::string gateway;
    int level;
};

struct ConfigCase {
    const char* name;
    std::string file;
    Settings expected;
};

// Reads file as Kelvane.ini in a fresh folder, starting from reset settings.
int ReadFile(const std::string& file)
{
    TempFolder folder;
    if (!folder.Ok() || !folder.WorkIn()) return -1;
    folder.Write("Kelvane.ini", file);
    g_strMyOwnIpAddress = "";
    g_strGatewayIpAddress = "";
    g_nDebugLevel = 0;
    return ReadConfigFile();
}

const std::string kLocal = "MY-OWN-IP-ADDRESS=192.168.1.20\n";
const std::string kLongValue(492, 'a');  // key (19) + value = one 511-character piece

const ConfigCase kCases[] = {
    {"AllThreeKeys",
     "[CONFIG]\n" + kLocal + "GATEWAY-IP-ADDRESS=192.168.1.10\nDEBUG-LEVEL=2\n",
     {"192.168.1.20", "192.168.1.10", 2}},
    {"LowerCaseHeaderOpensNothing", "[config]\n" + kLocal, {"", "", 0}},
    {"LongerHeaderOpensNothing", "[CONFIGURE]\n" + kLocal, {"", "", 0}},  // all 8 characters compared
    {"HeaderWithCommentOpens", "[CONFIG] ; the client\n" + kLocal, {"192.168.1.20", "", 0}},
    {"KeyBeforeFirstHeader", kLocal + "[CONFIG]\n", {"", "", 0}},
    {"KeyAfterOtherHeader", "[CONFIG]\n[OTHER]\n" + kLocal, {"", "", 0}},
    {"SeveralConfigSectionsCount",
     "[CONFIG]\n" + kLocal + "[OTHER]\nDEBUG-LEVEL=5\n[CONFIG]\nDEBUG-LEVEL=1\n",
     {"192.168.1.20", "", 1}},
    {"KeyCaseDoesNotMatter", "[CONFIG]\nmy-own-ip-address=192.168.1.20\n", {"192.168.1.20", "", 0}},
    {"BlankBeforeEqualsStaysInKey", "[CONFIG]\nMY-OWN-IP-ADDRESS = 192.168.1.20\n", {"", "", 0}},
    {"BlanksAfterEqualsSkipped", "[CONFIG]\nMY-OWN-IP-ADDRESS= \t192.168.1.20\n", {"192.168.1.20", "", 0}},
    {"BlanksBeforeKey", "[CONFIG]\n  MY-OWN-IP-ADDRESS=192.168.1.20\n", {"", "", 0}},
    {"ValueCaseKeptAndRestOfLineIgnored",
     "[CONFIG]\nGATEWAY-IP-ADDRESS=GW.Local ; comment\n",
     {"", "GW.Local", 0}},
    {"LevelWithComment", "[CONFIG]\nDEBUG-LEVEL=2 ; verbose\n", {"", "", 2}},
    {"LevelNotANumber", "[CONFIG]\nDEBUG-LEVEL=5\nDEBUG-LEVEL=abc\n", {"", "", 0}},
    {"LevelNegative", "[CONFIG]\nDEBUG-LEVEL=-1\n", {"", "", -1}},
    {"EmptyValueKeepsEarlier",
     "[CONFIG]\nGATEWAY-IP-ADDRESS=10.0.0.1\nGATEWAY-IP-ADDRESS=\n",
     {"", "10.0.0.1", 0}},
    {"LastOneWins",
     "[CONFIG]\nGATEWAY-IP-ADDRESS=10.0.0.1\nGATEWAY-IP-ADDRESS=10.0.0.2\n",
     {"", "10.0.0.2", 0}},
    {"CommentLine", "[CONFIG]\n;GATEWAY-IP-ADDRESS=10.0.0.1\n", {"", "", 0}},
    {"BlanksBeforeSemicolonIsNoComment", "[CONFIG]\n  ;x=1\nDEBUG-LEVEL=3\n", {"", "", 3}},
    {"IndentedHeaderIsNoHeader", "[CONFIG]\n [OTHER]\nDEBUG-LEVEL=3\n", {"", "", 3}},
    {"IndentedConfigHeaderOpensNothing", " [CONFIG]\nDEBUG-LEVEL=3\n", {"", "", 0}},
    {"EqualsInFirstColumn", "[CONFIG]\n=10.0.0.1\n", {"", "", 0}},
    {"NoEqualsSign", "[CONFIG]\nGATEWAY-IP-ADDRESS 10.0.0.1\n", {"", "", 0}},
    {"LastLineWithoutLineEnd", "[CONFIG]\nDEBUG-LEVEL=7", {"", "", 7}},
    {"CrLfLineEnds", "[CONFIG]\r\nGATEWAY-IP-ADDRESS=10.0.0.1\r\n\r\nDEBUG-LEVEL=4\r\n", {"", "10.0.0.1", 4}},
    {"LoneCrIsNoLineEnd", "[CONFIG]\nA=1\rDEBUG-LEVEL=4\n", {"", "", 0}},
    // A 600-character line is read as pieces of 511 and 89 characters, and
    // the second piece counts as a line of its own.
    {"LongLineSecondPieceParsed",
     "[CONFIG]\nX=" + std::string(509, 'y') + "DEBUG-LEVEL=9" + std::string(75, ' ') + "\n",
     {"", "", 9}},
    {"ValueCutAtPieceEnd", "[CONFIG]\nGATEWAY-IP-ADDRESS=" + kLongValue + "bbb\n", {"", kLongValue, 0}},
    {"CrLfCountsAsOneCharacterInPiece",
     "[CONFIG]\nGATEWAY-IP-ADDRESS=" + std::string(491, 'a') + "\r\nDEBUG-LEVEL=6\r\n",
     {"", std::string(491, 'a'), 6}},
    {"EmptyFile", "", {"", "", 0}},
    // Windows editors put a UTF-8 byte-order mark first; the header still counts.
    {"ByteOrderMark", "\xEF\xBB\xBF[CONFIG]\n" + kLocal, {"192.168.1.20", "", 0}},
    {"ByteOrderMarkOnly", "\xEF\xBB\xBF", {"", "", 0}},
    {"MarkNotFirstIsKept",
     "[CONFIG]\n\xEF\xBB\xBF"
     "DEBUG-LEVEL=3\n",
     {"", "", 0}},
};

}  // namespace

TEST(ReadConfigFileTest, Table)
{
    for (const ConfigCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.name << "\nfile: " << testing::PrintToString(c.file));
        ASSERT_EQ(ReadFile(c.file), 1);
        EXPECT_EQ(g_strMyOwnIpAddress.str(), c.expected.local);
        EXPECT_EQ(g_strGatewayIpAddress.str(), c.expected.gateway);
        EXPECT_EQ(g_nDebugLevel, c.expected.level);
    }
}

// A missing file says so and changes nothing; a folder of that name counts
// as missing (opening one fails on Windows); a file changes only what it names.
TEST(ReadConfigFileTest, SettingsNotNamedKeepTheirValues)
{
    enum Kind { kNone, kFolder, kFile };
    for (Kind kind : {kNone, kFolder, kFile}) {
        SCOPED_TRACE(kind);
        TempFolder folder;
        ASSERT_TRUE(folder.Ok() && folder.WorkIn());
        if (kind == kFile) folder.Write("Kelvane.ini", "[CONFIG]\nDEBUG-LEVEL=1\n");
        if (kind == kFolder) {
            ASSERT_TRUE(std::filesystem::create_directory(folder.Path() + "/Kelvane.ini"));
        }
        g_strMyOwnIpAddress = "a";
        g_strGatewayIpAddress = "b";
        g_nDebugLevel = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(ReadConfigFile(), kind == kFile ? 1 : 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  kind == kFile ? "" : "Error: File 'Kelvane.ini' not found\n");
        EXPECT_EQ(g_strMyOwnIpAddress, "a");
        EXPECT_EQ(g_strGatewayIpAddress, "b");
        EXPECT_EQ(g_nDebugLevel, kind == kFile ? 1 : 0);
    }
}
