// Bytes as the tests write them: "06 10 02 01" and back.
#pragma once

#include <cstdint>
#include <sstream>
#include <vector>

using Byte = std::uint8_t;
using Bytes = std::vector<Byte>;

inline Bytes ParseHex(const std::string& hex)
{
    Bytes out;
    std::istringstream in(hex);
    for (unsigned value; in >> std::hex >> value;) out.push_back(static_cast<Byte>(value));
    return out;
}

// Upper case, one space between bytes.
inline std::string HexOf(const Bytes& bytes)
{
    std::string out;
    for (Byte b : bytes) out += {' ', "0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    return out.empty() ? out : out.substr(1);
}
