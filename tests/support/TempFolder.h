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
        auto path = std::filesystem::temp_directory_path(m_error) / ("kelvane-test-" + std::to_string(std::random_device()()));
        if (!m_error && std::filesystem::create_directory(path, m_error)) m_path = path.string();
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
        m_oldCwd = std::filesystem::current_path(m_error).string();
        return !m_error && (std::filesystem::current_path(m_path, m_error), !m_error);
    }

private:
    std::error_code m_error;
    std::string m_path, m_oldCwd;
};
