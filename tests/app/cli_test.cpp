// The real program, run in a fresh folder: exact output bytes and exit code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/TempFolder.h"

namespace {

struct RunResult {
    std::string out;
    std::string err;
    int exitCode = -1;
};

// Runs the program with args in folder; kills it by pid after 10 s.
RunResult RunProgram(const std::string& folder, std::vector<std::string> args)
{
    RunResult result;
    std::string program = KELVANE_BINARY_DIR "/kelvane";
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (chdir(folder.c_str()) == 0) execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = pid > 0 ? 2 : 0;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 100) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    if (pid > 0) {
        if (open > 0) kill(pid, SIGKILL);
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

class CliTest : public testing::Test {
protected:
    RunResult Run(const char* configFile, const std::vector<std::string>& args)
    {
        if (configFile) m_folder.Write("Kelvane.ini", configFile);
        return RunProgram(m_folder.Path(), args);
    }
    void SetUp() override { ASSERT_TRUE(m_folder.Ok()); }

    TempFolder m_folder;
};

const char kUsage[] =
    "Kelvane\n"
    "  Kommandos:\n"
    "  - search : suche nach EIB/KNX Gateway\n"
    "  - send GA Type Value : sende GruppenAdresse\n";

}  // namespace

TEST_F(CliTest, NoArgumentPrintsUsageWithoutReadingTheFile)
{
    for (const char* file : {static_cast<const char*>(nullptr), "[CONFIG]\nDEBUG-LEVEL=1\n"}) {
        RunResult r = Run(file, {});
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
    }
}

// Commands that stop in the dispatcher, so nothing reaches the network.
TEST_F(CliTest, DispatcherLines)
{
    struct Case {
        const char* name;
        const char* file;
        std::vector<std::string> args;
        const char* out;
    };
    const Case cases[] = {
        {"NoFileSearch", nullptr, {"search"}, "Error: File 'Kelvane.ini' not found\n"},
        {"NoFileSend", nullptr, {"send", "1/2/3", "EIS1", "1"}, "Error: File 'Kelvane.ini' not found\n"},
        {"NoLocal", "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n", {"search"}, "Error: Invalid 'My-Own-IP-Address'\n"},
        {"NoGateway", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n", {"search"}, "Error: Invalid 'GateWay-IP-Address'\n"},
        {"TooFewOperands", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n",
         {"send", "1/2/3", "EIS1"}, "nicht gen\x81gend Parameter\n"},
        {"TooFewOperandsUpperCase", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n",
         {"SEND"}, "nicht gen\x81gend Parameter\n"},
        {"TooFewOperandsMixedCase", "[CONFIG]\r\nMY-OWN-IP-ADDRESS=127.0.0.1\r\nGATEWAY-IP-ADDRESS=127.0.0.2\r\n",
         {"sEnD", "1/2/3"}, "nicht gen\x81gend Parameter\n"},
        {"OtherWord", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n", {"help"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((m_folder.Path() + "/Kelvane.ini").c_str());
        RunResult r = Run(c.file, c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
    }
}

TEST_F(CliTest, BannerFromLevelOne)
{
    RunResult r = Run("[CONFIG]\r\nMY-OWN-IP-ADDRESS=127.0.0.1\r\nGATEWAY-IP-ADDRESS=127.0.0.2\r\nDEBUG-LEVEL=1\r\n",
                      {"Help"});
    const std::regex banner(
        "Kelvane Version v03\nbuild [A-Z][a-z][a-z] [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n");
    EXPECT_TRUE(std::regex_match(r.out, banner)) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
}
