// A fresh folder in the system's temporary folder (/tmp) for one test,
// removed with everything in it when the object goes. WorkIn() makes it the
// working directory until then.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempFolder {
public:
    TempFolder()
    {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        std::random_device random;
        for (int attempt = 0; !error && attempt < 100 && m_path.empty(); ++attempt) {
            const std::filesystem::path path = base / ("kelvane-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path, error)) m_path = path.string();
        }
    }
    ~TempFolder()
    {
        std::error_code error;
        if (!m_oldCwd.empty()) {
            std::filesystem::current_path(m_oldCwd, error);
            if (error) std::abort();
        }
        if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(m_path + "/" + name, std::ios::binary) << bytes;
    }

    bool WorkIn()
    {
        m_oldCwd = std::filesystem::current_path().string();
        std::error_code error;
        std::filesystem::current_path(m_path, error);
        return !error;
    }

private:
    std::string m_path;
    std::string m_oldCwd;
};
