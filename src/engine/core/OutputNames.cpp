#include "core/OutputNames.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>

namespace vextral {

namespace {

// path made absolute, with the links and "." and ".." of its existing part
// resolved; only made absolute and tidied when that fails.
std::string normalised(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = fs::path(path);
    const fs::path resolved = fs::weakly_canonical(absolute, ec);
    return (ec ? absolute.lexically_normal() : resolved).string();
}

// The device and inode of the file path leads to, links followed.
std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(st.st_dev, st.st_ino);
}

} // namespace

void OutputNames::addInput(const std::string& path)
{
    inputPaths_.insert(normalised(path));
    if (const auto id = fileIdOf(path)) inputFiles_.insert(*id);
}

OutputNames::Clash OutputNames::clashOf(const std::string& path) const
{
    const std::string key = normalised(path);
    const auto id = fileIdOf(path);
    if (inputPaths_.count(key) != 0 || (id && inputFiles_.count(*id) != 0)) return Clash::Input;
    if (outputPaths_.count(key) != 0 || (id && outputFiles_.count(*id) != 0)) return Clash::Output;
    return Clash::None;
}

void OutputNames::learnWrittenFiles()
{
    for (const std::string& path : unseenOutputs_) {
        if (const auto id = fileIdOf(path)) outputFiles_.insert(*id);
    }
    unseenOutputs_.clear();
}

OutputNames::Choice OutputNames::claim(const std::string& wanted)
{
    learnWrittenFiles();
    Choice choice {wanted, clashOf(wanted)};
    // Every path tried but the last is taken by an input or an earlier
    // output, and there are finitely many of those: the search ends.
    bool taken = choice.clash != Clash::None;
    for (int n = 2; taken; ++n) {
        choice.path = numbered(wanted, n);
        taken = clashOf(choice.path) != Clash::None;
    }
    outputPaths_.insert(normalised(choice.path));
    unseenOutputs_.push_back(choice.path);
    return choice;
}

std::string OutputNames::numbered(const std::string& wanted, int n)
{
    const std::size_t slash = wanted.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = wanted.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    const std::size_t at = hasExtension ? dot : wanted.size();
    return wanted.substr(0, at) + " (" + std::to_string(n) + ")" + wanted.substr(at);
}

} // namespace vextral
