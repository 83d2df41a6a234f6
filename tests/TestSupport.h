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

// A small file system of its own (a tmpfs of the given size) mounted on a
// fresh folder, so a test can fill the disk. Mounting needs root (as the
// tests run in CI); mounted() is false, with the reason in error(), elsewhere.
class SmallDisk {
public:
    explicit SmallDisk(std::size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

private:
    TempDir dir_;
    bool mounted_ = false;
    std::string error_;
};

// Runs a shell command; returns its exit status and fills output with stdout.
// Sets an environment variable (or, with no value, removes it) for the life
// of the object, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

int runCommand(const std::string& command, std::string* output = nullptr);
std::string shellQuote(const std::string& text);

} // namespace vextral::test
