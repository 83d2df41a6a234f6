#include "cli/StandardInput.h"

#include "cli/Arguments.h"
#include "core/Error.h"
#include "core/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace vextral::cli {

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;

// $TMPDIR when it names a folder this process may write into, else /tmp.
std::string temporaryFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    struct stat st {};
    if (tmp && *tmp && ::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode) && ::access(tmp, W_OK | X_OK) == 0) return tmp;
    return "/tmp";
}

std::string systemReason(int error) { return std::strerror(error); }

} // namespace

void checkStandardInputOnce(const std::vector<std::string>& paths)
{
    if (std::count_if(paths.begin(), paths.end(), namesStandardInput) > 1)
        throw UsageError("standard input (-) can be named only once");
}

ReadResult<std::vector<std::uint8_t>> readStandardInput(std::uint64_t limit, int fd)
{
    std::vector<std::uint8_t> bytes;
    for (;;) {
        // Never more room than the bound and the one byte that shows it passed.
        const std::uint64_t room = limit + 1 - bytes.size();
        const std::size_t block = static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, room));
        const std::size_t used = bytes.size();
        try {
            bytes.resize(used + block);
        } catch (const std::bad_alloc&) {
            return readFailure("standard input: " + systemReason(ENOMEM));
        }
        const ssize_t got = ::read(fd, bytes.data() + used, block);
        if (got < 0 && errno == EINTR) {
            bytes.resize(used);
            continue;
        }
        if (got < 0) return readFailure("standard input: " + systemReason(errno));
        bytes.resize(used + static_cast<std::size_t>(got));
        if (bytes.size() > limit) {
            return readFailure("standard input is larger than " + std::to_string(limit) + " bytes");
        }
        if (got == 0) break;
    }
    bytes.shrink_to_fit();
    return bytes;
}

StandardInputCopy::StandardInputCopy(std::span<const std::uint8_t> bytes)
{
    std::string folder = temporaryFolder() + "/vextral-stdin-XXXXXX";
    if (!::mkdtemp(folder.data())) throw Error("Cannot create file " + folder + ": " + systemReason(errno));
    folder_ = folder;
    path_ = folder_ + "/" + kStandardInputName;
    try {
        FileDescriptor fd;
        {
            // Made and watched with no signal between the two.
            const SignalsHeld held;
            fd.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (fd) cleanup_ = CleanupOnSignal(path_);
        }
        if (!fd) throw Error("Cannot create file " + path_ + ": " + systemReason(errno));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) throw Error("Cannot write file " + path_ + ": " + systemReason(errno));
            done += static_cast<std::size_t>(put);
        }
        if (::close(fd.release()) != 0) throw Error("Cannot write file " + path_ + ": " + systemReason(errno));
    } catch (...) {
        ::unlink(path_.c_str());
        ::rmdir(folder_.c_str());
        throw;
    }
}

StandardInputCopy::~StandardInputCopy()
{
    ::unlink(path_.c_str());
    cleanup_.forget();
    ::rmdir(folder_.c_str());
}

} // namespace vextral::cli
