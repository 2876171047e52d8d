#include "app/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/wintypes.h"

CString g_strMyOwnIpAddress;
CString g_strGatewayIpAddress;
int g_nDebugLevel = 0;

namespace {

const int LINE_BUFFER_SIZE = 512;  // a line holds at most 511 characters; the rest is dropped
// A settings file is a few lines. Reading stops here, so that a file that
// keeps growing cannot hold the program.
const long kMostBytesRead = 64 * 1024;

// Where the file is looked for, in this order; the first that can be read
// counts. The working folder comes first, as it always did.
std::vector<std::string> ConfigFilePlaces()
{
    std::vector<std::string> places = {"Kelvane.ini"};
#ifdef _WIN32
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length > 0 && length < sizeof program) {
        const std::string path(program, length);
        places.push_back(path.substr(0, path.find_last_of("\\/") + 1) + "Kelvane.ini");
    }
    const char* appData = std::getenv("APPDATA");
    if (appData && *appData) places.push_back(std::string(appData) + "\\Kelvane\\Kelvane.ini");
#else
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome && *configHome) places.push_back(std::string(configHome) + "/kelvane/Kelvane.ini");
    else if (home && *home) places.push_back(std::string(home) + "/.config/kelvane/Kelvane.ini");
    places.push_back("/etc/kelvane/Kelvane.ini");
#endif
    return places;
}

// The next character, a CR LF line end read as one line feed (a CR not
// followed by LF is kept). EOF at the end of the file, and also once
// kMostBytesRead have been read: then left turns negative.
int NextChar(FILE* file, long& left)
{
    const int ch = std::getc(file);
    if (ch == EOF) return EOF;
    if (--left < 0) return EOF;
    if (ch != '\r') return ch;
    const int next = std::getc(file);
    if (next == '\n') return --left < 0 ? EOF : '\n';
    if (next != EOF) std::ungetc(next, file);
    return ch;
}

// Reads one line into buffer: at most size - 1 of its characters, the line
// feed included when it fits. The rest of a longer line is passed over, so
// that the tail of a long comment or value never counts as a line of its
// own. Null at the end of the file, and for the line that kMostBytesRead cut.
char* ReadLine(char* buffer, int size, FILE* file, long& left)
{
    int count = 0, ch = 0;
    while (count < size - 1 && (ch = NextChar(file, left)) != EOF) {
        buffer[count++] = static_cast<char>(ch);
        if (ch == '\n') break;
    }
    buffer[count] = '\0';
    if (count == size - 1 && buffer[count - 1] != '\n')
        while ((ch = NextChar(file, left)) != EOF && ch != '\n') continue;
    return count > 0 && left >= 0 ? buffer : nullptr;
}

// Opens the file for reading when it is a regular file (or a link to one):
// a folder, a FIFO or a device (a link to /dev/zero, say) counts as missing,
// so that no open or read can wait or run for ever. A UTF-8 byte-order mark,
// which Windows editors put first, is passed over so that a header on the
// first line still counts.
FILE* OpenConfigFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return nullptr;
    const unsigned char utf8Mark[] = {0xEF, 0xBB, 0xBF};
    unsigned char head[sizeof utf8Mark] = {};
    const size_t count = std::fread(head, 1, sizeof head, file);
    if (count == 0 && std::ferror(file)) {
        std::fclose(file);
        return nullptr;
    }
    if (count < sizeof head || std::memcmp(head, utf8Mark, sizeof head) != 0) std::rewind(file);
    return file;
}

FILE* OpenFirstConfigFile()
{
    for (const std::string& place : ConfigFilePlaces())
        if (FILE* file = OpenConfigFile(place)) return file;
    return nullptr;
}

void ApplyEntry(CString key, const char* value)
{
    key.MakeUpper();
    if (key == "MY-OWN-IP-ADDRESS") g_strMyOwnIpAddress = value;
    else if (key == "GATEWAY-IP-ADDRESS") g_strGatewayIpAddress = value;
    else if (key == "DEBUG-LEVEL") g_nDebugLevel = std::atoi(value);
}

}  // namespace

int ReadConfigFile(std::ostream& out)
{
    FILE* file = OpenFirstConfigFile();
    if (!file) {
        out << "Error: File 'Kelvane.ini' not found\n";
        return 0;
    }
    bool inSection = false;
    char line[LINE_BUFFER_SIZE];
    char key[LINE_BUFFER_SIZE];
    char value[LINE_BUFFER_SIZE];
    long left = kMostBytesRead;
    while (ReadLine(line, sizeof line, file, left)) {
        if (line[0] == '[') {
            inSection = std::strncmp(line, "[CONFIG]", 8) == 0;
            continue;
        }
        if (line[0] == ';' || std::strlen(line) <= 2 || !inSection) continue;
        if (std::sscanf(line, "%511[^=] = %511s", key, value) != 2) continue;
        ApplyEntry(key, value);
    }
    std::fclose(file);
    return 1;
}
