// Hex helpers of the integrity tests.
#pragma once
#include <string>

inline std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
    return out;
}

inline std::string ToHex(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        unsigned char b = ((const unsigned char*)data)[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

inline const unsigned char* Bytes(const std::string& s) { return (const unsigned char*)s.data(); }
