#pragma once

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    std::string out, err;
    int exitCode = -1;  // -1: killed, or did not end by itself
};

// Runs the build folder's program name with args in a fresh folder that holds ini as Kelvane.ini (no file
// when empty), killed after 10 s; during, when given, gets the pid once it started. With KELVANE_WINE set
// to Wine's loader, name.exe of the folder KELVANE_WINE_PROGRAMS runs under Wine instead.
RunResult RunProgram(const std::string& ini, std::vector<std::string> args, const char* name = "kelvane",
                     const std::function<void(int pid)>& during = nullptr);
