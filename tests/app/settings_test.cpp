// The settings as read from Kelvane.ini, and the dispatcher's steps before a command runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "platform/wintypes.h"
#include "platform/wsock.h"
#include "tests/support/TempFolder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

// An environment variable set (empty: removed) for the life of the object, then as it was.
struct ScopedEnv {
    ScopedEnv(const char* name, const std::string& value) : name(name), old(getenv(name) ? getenv(name) : "") { Set(value); }
    ~ScopedEnv() { Set(old); }
#ifdef _WIN32
    void Set(const std::string& value) { _putenv_s(name, value.c_str()); }
#else
    void Set(const std::string& value) { value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1); }
#endif
    const char* name;
    std::string old;
};

static int ReadInFolder(TempFolder& folder, const char* file)
{
    if (!folder.WorkIn()) return -1;
    if (file) std::ofstream("Kelvane.ini", std::ios::binary) << file;
    g_strMyOwnIpAddress = "a", g_strGatewayIpAddress = "b", g_nDebugLevel = -99;
    return ReadConfigFile();
}
static auto Settings()
{
    return std::make_tuple(std::string(g_strMyOwnIpAddress), std::string(g_strGatewayIpAddress), g_nDebugLevel);
}

TEST(ReadConfigFileTest, Table)
{
    const std::string h = "[CONFIG]\n", local = "MY-OWN-IP-ADDRESS=10.0.0.9\n", ip = "10.0.0.9";
    const std::string longText(492, 'a'), shorter(491, 'a');
    const std::tuple<std::string, std::string, std::string, int> cases[] = {  // "a", "b", -99: not set
        {"[config]\n" + local + "[CONFIGURE]\n" + local, "a", "b", -99},  // all 8 characters compared
        {"[CONFIG] ; the client\n" + local, ip, "b", -99}, {" [CONFIG]\nDEBUG-LEVEL=3\n", "a", "b", -99},
        {h + "DEBUG-LEVEL=1\n[OTHER]\nDEBUG-LEVEL=5\n" + h + local, ip, "b", 1},
        {h + "my-own-ip-address=10.0.0.9\n", ip, "b", -99}, {h + "MY-OWN-IP-ADDRESS= \t" + ip, ip, "b", -99},
        {h + "MY-OWN-IP-ADDRESS = 10.0.0.9\n  MY-OWN-IP-ADDRESS=10.0.0.9\n", "a", "b", -99},
        {h + "GATEWAY-IP-ADDRESS=GW.Local ; comment\n", "a", "GW.Local", -99},
        {h + "DEBUG-LEVEL=5\nDEBUG-LEVEL=abc\n", "a", "b", 0}, {h + "DEBUG-LEVEL=-3\n", "a", "b", -3},
        {h + "GATEWAY-IP-ADDRESS=10.0.0.1\nGATEWAY-IP-ADDRESS=\n", "a", "10.0.0.1", -99},
        {h + "=10.0.0.1\nGATEWAY-IP-ADDRESS 10.0.0.1\n", "a", "b", -99},
        // A line keeps its first 511 characters: the tail of a comment or a value is no line of its own.
        {h + "DEBUG-LEVEL=8\nX=" + std::string(509, 'y') + "DEBUG-LEVEL=9\n", "a", "b", 8},
        // Only the first 64 KiB are read.
        {h + ";" + std::string(70000, 'c') + "\nDEBUG-LEVEL=5\n", "a", "b", -99},
        {h + "GATEWAY-IP-ADDRESS=" + longText + "bbb\n", "a", longText, -99},
        {h + "GATEWAY-IP-ADDRESS=" + shorter + "\r\nDEBUG-LEVEL=6\r\n", "a", shorter, 6},
        // Windows editors put a UTF-8 byte-order mark first; the header still counts, and only there.
        {"\xEF\xBB\xBF[CONFIG]\n" + local, ip, "b", -99}, {"\xEF\xBB\xBF", "a", "b", -99},
        {h + "\xEF\xBB\xBF" "DEBUG-LEVEL=3\n", "a", "b", -99}, {h + "A=1\rDEBUG-LEVEL=4\n", "a", "b", -99},
    };
    for (const auto& [file, own, gateway, level] : cases) {
        TempFolder folder;
        ASSERT_EQ(ReadInFolder(folder, file.c_str()), 1);
        EXPECT_EQ(Settings(), std::make_tuple(own, gateway, level)) << testing::PrintToString(file);
    }
}

// Where the file is looked for: the places in order, each file with its own level; the first place that
// holds one wins. A place with no regular file (a folder, or a FIFO that would block) is passed over.
TEST(ReadConfigFileTest, PlacesInOrder)
{
    TempFolder root;
    ASSERT_TRUE(root.WorkIn());
    const std::string base = root.Path(), work = base + "/work";
#ifdef _WIN32
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    ASSERT_TRUE(length > 0 && length < sizeof program);
    const std::string programFolder = std::filesystem::path(program).parent_path().string();
    ScopedEnv appData("APPDATA", base + "/appdata");
    const std::vector<std::string> places = {work, programFolder, base + "/appdata/Kelvane"};
#else
    ScopedEnv home("HOME", base + "/home");
    const std::vector<std::string> places = {work, base + "/xdg/kelvane", base + "/home/.config/kelvane"};
#endif
    // Per row: what each place holds (the level its file sets, nothing, or a folder or a FIFO of the file's
    // name), XDG_CONFIG_HOME, and the level read (0: none found).
    const std::tuple<std::vector<std::string>, std::string, int> cases[] = {
        {{"1", "2", "3"}, base + "/xdg", 1}, {{"", "2", "3"}, base + "/xdg", 2},
        {{"folder", "2", "3"}, base + "/xdg", 2}, {{"", "", "3"}, "", 3}, {{"", "", ""}, "", 0},
#ifdef _WIN32
        {{"", "", "3"}, base + "/xdg", 3},
#else
        {{"", "", "3"}, base + "/xdg", 0},  // $XDG_CONFIG_HOME, when set, stands for ~/.config
        {{"fifo", "2", "3"}, base + "/xdg", 2},
#endif
    };
    // /etc/kelvane comes last on Linux; a test cannot own it, but must not be misled by one there.
    const bool systemFile = std::filesystem::exists("/etc/kelvane/Kelvane.ini");
    for (const auto& [files, configHome, level] : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", configHome);
        for (size_t i = 0; i < places.size(); ++i) {
            std::filesystem::create_directories(places[i]);
            const std::string path = places[i] + "/Kelvane.ini";
            std::filesystem::remove(path);
            if (files[i] == "folder") std::filesystem::create_directory(path);
#ifndef _WIN32
            else if (files[i] == "fifo") mkfifo(path.c_str(), 0600);
#endif
            else if (!files[i].empty()) std::ofstream(path) << "[CONFIG]\nDEBUG-LEVEL=" << files[i] << "\n";
        }
        if (level == 0 && systemFile) continue;
        std::filesystem::current_path(work);
        g_strMyOwnIpAddress = "a", g_strGatewayIpAddress = "b", g_nDebugLevel = -99;
        std::ostringstream said;  // the programs' tests check what is said, and the status
        ReadConfigFile(said);
        EXPECT_EQ(Settings(), std::make_tuple("a", "b", level == 0 ? -99 : level))
            << testing::PrintToString(files) << " XDG_CONFIG_HOME=" << configHome;
    }
    for (const std::string& place : places) std::filesystem::remove_all(place + "/Kelvane.ini");
}

#ifndef _WIN32  // Windows' own WSAStartup cannot be made to fail
// The socket failure's line goes to the stream given (the read's is standard error), the box's to stderr.
TEST(DispatchTest, SocketStartUpFailureIsSaid)
{
    TempFolder folder;
    ASSERT_EQ(ReadInFolder(folder, "[CONFIG]\nMY-OWN-IP-ADDRESS=a\nGATEWAY-IP-ADDRESS=b\n"), 1);
    std::ostringstream out;
    g_wsockFaults.bFailStartup = TRUE;
    testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
    EXPECT_EQ(PrepareCommand(out), Prepared::kNoSockets);
    g_wsockFaults.bFailStartup = FALSE;
    EXPECT_EQ(testing::internal::GetCapturedStdout() + out.str(), "Error: AfxSocketInit failed\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "kelvane_tests: Fehler beim Initialisieren der Windows-Sockets\n");
}
#endif
