#include "tests/support/Hex.h"

#include <cstdio>
#include <sstream>

Bytes ParseHex(const std::string& hex)
{
    Bytes out;
    std::istringstream in(hex);
    unsigned value;
    while (in >> std::hex >> value) out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

std::string HexOf(const Bytes& bytes)
{
    std::string out;
    char piece[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(piece, sizeof piece, i ? " %02X" : "%02X", bytes[i]);
        out += piece;
    }
    return out;
}
