// A fresh folder in the system's temporary folder for one test, removed with everything in it when the
// object goes. WorkIn() makes it the working folder until then.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>

class TempFolder {
public:
    TempFolder()  // a name taken already leaves Path() empty
    {
        std::error_code error;
        const auto path = std::filesystem::temp_directory_path(error) /
                          ("kelvane-test-" + std::to_string(std::random_device()()));
        if (!error && std::filesystem::create_directory(path, error)) m_path = path.string();
    }
    ~TempFolder()
    {
        std::error_code error;
        if (!m_oldCwd.empty()) std::filesystem::current_path(m_oldCwd, error);
        if (error) std::abort();  // the next tests would run in a removed folder
        if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }  // empty: none could be made
    bool WorkIn()
    {
        std::error_code error;
        m_oldCwd = std::filesystem::current_path(error).string();
        if (!error) std::filesystem::current_path(m_path, error);
        return !error;
    }

private:
    std::string m_path, m_oldCwd;
};
