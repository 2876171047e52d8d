#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "tests/support/TempFolder.h"

RunResult RunProgram(const std::string& ini, std::vector<std::string> args, const char* name,
                     const std::function<void(int pid)>& during)
{
    TempFolder temp;
    const std::string& folder = temp.Path();
    if (folder.empty()) return {};
    if (!ini.empty()) std::ofstream(folder + "/Kelvane.ini", std::ios::binary) << ini;
    args.insert(args.begin(), std::string(KELVANE_BINARY_DIR "/") + name);
    if (const char* wine = std::getenv("KELVANE_WINE")) {
        args[0] = std::string(std::getenv("KELVANE_WINE_PROGRAMS")) + "/" + name + ".exe";
        args.insert(args.begin(), wine);
    }
    // No settings of the user's: XDG_CONFIG_HOME names this folder, which has none.
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + folder};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) env.push_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    for (std::string& e : env) envp.push_back(&e[0]);
    argv.push_back(nullptr), envp.push_back(nullptr);
    // Output to files: nothing to drain meanwhile, and no pipe held open by a helper Wine leaves running.
    // Between fork and exec no call that takes a lock, which another thread may have held at the fork.
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = chdir(folder.c_str()) == 0 ? open(".stdout", O_WRONLY | O_CREAT, 0600) : -1;
        if (out >= 0 && dup2(out, 1) == 1 && dup2(open(".stderr", O_WRONLY | O_CREAT, 0600), 2) == 2)
            execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid > 0 && during) during(pid);
    int status = -1;
    for (int waited = 0; pid > 0 && waitpid(pid, &status, WNOHANG) == 0; waited += 10) {
        if (waited >= 10000) kill(pid, SIGKILL);  // again until reaped: the pid stays ours
        usleep(10000);
    }
    auto read = [&folder](const char* file) {
        std::ifstream in(folder + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {read("/.stdout"), read("/.stderr"), pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
