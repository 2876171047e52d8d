// A fresh folder under /tmp for one test, removed with everything in it when
// the object goes. WorkIn() makes it the working directory until then.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kelvane-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made) m_path = made;
    }
    ~TempFolder()
    {
        if (!m_oldCwd.empty() && chdir(m_oldCwd.c_str()) != 0) std::abort();
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
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
        return chdir(m_path.c_str()) == 0;
    }

private:
    std::string m_path;
    std::string m_oldCwd;
};
