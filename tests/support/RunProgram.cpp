#include "tests/support/RunProgram.h"

#include "tests/support/TempFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

RunResult RunProgram(const std::string& ini, std::vector<std::string> args, const char* name, int seconds)
{
    TempFolder temp;
    if (temp.Path().empty()) return {};
    if (!ini.empty()) temp.Write("Kelvane.ini", ini);
    const std::string& folder = temp.Path();
    std::string program = std::string(KELVANE_BINARY_DIR "/") + name;
    args.insert(args.begin(), program);
    const char* wine = std::getenv("KELVANE_WINE");
    if (const char* windowsPrograms = std::getenv("KELVANE_WINE_PROGRAMS"); wine && windowsPrograms) {
        args[0] = std::string(windowsPrograms) + "/" + name + ".exe";
        args.insert(args.begin(), program = wine);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    // The output goes to files: nothing to drain while waiting, and a helper the program leaves running
    // (Wine's) holds no pipe open.
    const std::string files[2] = {folder + "/.stdout", folder + "/.stderr"};
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd : {1, 2}) {
            const int file = open(files[fd - 1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (file < 0 || dup2(file, fd) < 0) _exit(127);
        }
        if (chdir(folder.c_str()) == 0) execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() < deadline) {
            usleep(10000);
        } else if (kill(pid, SIGKILL) == 0) {
            waitpid(pid, &status, 0);
        }
    }
    auto read = [](const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    };
    return {read(files[0]), read(files[1]), pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
