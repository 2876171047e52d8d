// Bytes as the tests write them: "06 10 02 01" and back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes ParseHex(const std::string& hex);  // "06 10 02 01" -> bytes
std::string HexOf(const Bytes& bytes);   // bytes -> "06 10 02 01" (upper case)
