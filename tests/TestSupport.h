#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vextral::test {

std::filesystem::path fixture(const std::string& name);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A fresh empty folder under the system's temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs a shell command; returns its exit status and fills output with stdout.
int runCommand(const std::string& command, std::string* output = nullptr);
std::string shellQuote(const std::string& text);

} // namespace vextral::test
