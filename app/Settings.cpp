#include "app/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

CString g_strMyOwnIpAddress;
CString g_strGatewayIpAddress;
int g_nDebugLevel = 0;

namespace {

const int LINE_BUFFER_SIZE = 512;  // one piece holds at most 511 characters

// fgets for a file written on Windows: a CR LF line end is read as one line
// feed before characters are counted, so a piece holds as much of the line
// there as here. A CR not followed by LF is kept.
char* ReadLinePiece(char* buffer, int size, FILE* file)
{
    int count = 0;
    while (count < size - 1) {
        int ch = std::getc(file);
        if (ch == EOF) break;
        if (ch == '\r') {
            int next = std::getc(file);
            if (next == '\n') ch = '\n';
            else if (next != EOF) std::ungetc(next, file);
        }
        buffer[count++] = static_cast<char>(ch);
        if (ch == '\n') break;
    }
    buffer[count] = '\0';
    return count > 0 ? buffer : nullptr;
}

// Opens the file for reading. A folder of that name counts as missing, as
// on Windows, where opening one fails: here the open succeeds and only the
// first read fails. A UTF-8 byte-order mark, which Windows editors put
// first, is passed over so that a header on the first line still counts.
FILE* OpenConfigFile(const char* name)
{
    FILE* file = std::fopen(name, "r");
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
    FILE* file = OpenConfigFile("Kelvane.ini");
    if (!file) {
        out << "Error: File 'Kelvane.ini' not found\n";
        return 0;
    }
    bool inSection = false;
    char line[LINE_BUFFER_SIZE];
    char key[LINE_BUFFER_SIZE];
    char value[LINE_BUFFER_SIZE];
    while (ReadLinePiece(line, sizeof line, file)) {
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
