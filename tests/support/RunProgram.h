#pragma once

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    std::string out, err;
    int exitCode = -1;  // -1: killed, or did not end by itself
};

// Runs the build folder's program name with args in a fresh folder that holds ini as Kelvane.ini (no file
// when empty), killed by pid after 10 s. With KELVANE_WINE set to Wine's loader, name.exe of the folder
// KELVANE_WINE_PROGRAMS (which must then be set) runs under Wine instead.
// during, when given, is called with the program's pid once it started (it may signal it).
RunResult RunProgram(const std::string& ini, std::vector<std::string> args, const char* name = "kelvane",
                     const std::function<void(int pid)>& during = nullptr);
