#pragma once

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    std::string out, err;
    int exitCode = -1;  // -1: killed, or did not end by itself
};

// Runs the build folder's program name with args in a fresh folder holding ini as Kelvane.ini (none when
// empty), killed after 10 s; during gets its pid. With KELVANE_WINE: KELVANE_WINE_PROGRAMS/name.exe in Wine.
RunResult RunProgram(const std::string& ini, std::vector<std::string> args, const char* name = "kelvane",
                     const std::function<void(int pid)>& during = nullptr);
