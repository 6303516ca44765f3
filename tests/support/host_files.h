// Whole files read and written by the host tests.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The bytes of the file at p; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes bytes as the whole file at p.
inline void WriteAll(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}
