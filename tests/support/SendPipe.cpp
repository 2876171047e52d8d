#include "tests/support/SendPipe.h"

#include <algorithm>
#include <cstring>

#include <cctype>
#include <cstdio>

#include "platform/winbase.h"

std::vector<BYTE> HexToBytes(const std::string& hex)
{
    std::vector<BYTE> bytes;
    std::string digits;
    for (char ch : hex)
        if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string BytesToHex(const std::vector<BYTE>& bytes)
{
    std::string text;
    char pair[4];
    for (BYTE byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!text.empty()) text += ' ';
        text += pair;
    }
    return text;
}

std::vector<BYTE> TakeSentBytes(CUdpEndpoint& endpoint)
{
    DWORD waiting = 0;
    if (!PeekNamedPipe(endpoint.m_hTxPipeRead, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0)
        return {};
    std::vector<BYTE> records(waiting);
    DWORD read = 0;
    if (!ReadFile(endpoint.m_hTxPipeRead, records.data(), waiting, &read, nullptr)) return {};
    records.resize(read);
    // Each Write is a record: its length (DWORD, host order), then its bytes.
    std::vector<BYTE> bytes;
    size_t at = 0;
    while (at + sizeof(DWORD) <= records.size()) {
        DWORD length;
        memcpy(&length, &records[at], sizeof length);
        at += sizeof length;
        size_t end = std::min(records.size(), at + length);
        bytes.insert(bytes.end(), records.begin() + static_cast<long>(at), records.begin() + static_cast<long>(end));
        at = end;
    }
    return bytes;
}
