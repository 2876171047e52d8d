// Runs a built program on Windows: CreateProcessA with its output and error
// in pipes, read by a thread each; killed when it has not ended in time.
#include "tests/support/RunProgram.h"

#include <thread>

#include "platform/wintypes.h"

namespace {

// The programs lie beside the test program.
std::string ProgramPath(const char* name)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self(path, length < sizeof path ? length : 0);
    return self.substr(0, self.find_last_of("\\/") + 1) + name + ".exe";
}

// One pipe whose write end the child inherits; false when none could be made.
bool ChildPipe(HANDLE& read, HANDLE& write)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) return false;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void Drain(HANDLE pipe, std::string* sink)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink->append(buffer, got);
}

}  // namespace

RunResult RunProgram(const std::string& folder, std::vector<std::string> args, const char* name, int seconds)
{
    RunResult result;
    const std::string program = ProgramPath(name);
    std::string commandLine = "\"" + program + "\"";
    for (const std::string& arg : args) commandLine += " \"" + arg + "\"";

    HANDLE outRead, outWrite, errRead, errWrite;
    if (!ChildPipe(outRead, outWrite)) return result;
    if (!ChildPipe(errRead, errWrite)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        // The readers end when the child's ends of the pipes close, at its exit.
        std::thread outReader(Drain, outRead, &result.out);
        std::thread errReader(Drain, errRead, &result.err);
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(seconds) * 1000u) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, static_cast<UINT>(-1));
            WaitForSingleObject(process.hProcess, INFINITE);
        } else {
            DWORD code = 0;
            if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
        }
        outReader.join();
        errReader.join();
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}
