// Runs one of the built programs as a child process and collects its output.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1: killed, or did not end by itself
};

// Runs the program name of the build folder with args in folder; kills it by
// pid when it has not ended after the given seconds. On Linux, with
// KELVANE_WINE set to Wine's loader, it runs name.exe of the folder
// KELVANE_WINE_PROGRAMS under Wine instead (the Windows build).
RunResult RunProgram(const std::string& folder, std::vector<std::string> args, const char* name = "kelvane",
                     int seconds = 10);
