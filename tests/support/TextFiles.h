#pragma once

// Whole files as text, for tests that write the files a program reads and read
// what it wrote.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vextral::test {

// The file's bytes; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Replaces the file with text.
inline void put(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace vextral::test
