// Bytes as the tests write them: "06 10 02 01" and back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes ParseHex(const std::string& hex)
{
    Bytes out;
    std::istringstream in(hex);
    for (unsigned value; in >> std::hex >> value;) out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

// Upper case, one space between bytes.
inline std::string HexOf(const Bytes& bytes)
{
    std::string out;
    char piece[4];
    for (std::uint8_t b : bytes) snprintf(piece, sizeof piece, " %02X", b), out += piece;
    return out.empty() ? out : out.substr(1);
}
