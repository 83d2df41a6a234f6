#include "platform/RunProgram.h"

#include "core/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vextral::platform {

namespace {

using Fd = FileDescriptor;

struct Pipe {
    Fd read, write;
};

bool makePipe(Pipe& p)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    p.read.reset(fds[0]);
    p.write.reset(fds[1]);
    return true;
}

// Reads what is there without waiting; false at the end of the stream.
bool drain(Fd& fd, std::string& into, std::size_t limit)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t keep =
                std::min<std::size_t>(static_cast<std::size_t>(n), limit - std::min(limit, into.size()));
            into.append(buffer, keep);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        fd.reset();
        return false;
    }
}

} // namespace

ProgramRun runProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit, std::size_t maxOutput)
{
    using Clock = std::chrono::steady_clock;
    ProgramRun run;
    if (argv.empty() || argv[0].empty()) throw ProgramError("a program", "no program named");
    Pipe out, err;
    if (!makePipe(out) || !makePipe(err)) throw ProgramError(argv[0], std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.write.get(), 2);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int status = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.write.reset();
    err.write.reset();
    if (status != 0) throw ProgramError(argv[0], std::strerror(status));

    const auto deadline = Clock::now() + limit;
    bool outOpen = true, errOpen = true, exited = false;
    int waitStatus = 0;
    while (!exited) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {}
            run.timedOut = true;
            return run;
        }
        pollfd fds[2];
        nfds_t n = 0;
        if (outOpen) fds[n++] = {out.read.get(), POLLIN, 0};
        if (errOpen) fds[n++] = {err.read.get(), POLLIN, 0};
        // Short waits: the program may end while a child of its own keeps the pipes open.
        ::poll(fds, n, static_cast<int>(std::min<long long>(left.count(), 50)));
        if (outOpen) outOpen = drain(out.read, run.output, maxOutput);
        if (errOpen) errOpen = drain(err.read, run.errors, maxOutput);
        pid_t done;
        while ((done = ::waitpid(pid, &waitStatus, WNOHANG)) < 0 && errno == EINTR) {}
        if (done < 0) throw ProgramError(argv[0], std::strerror(errno)); // reaped elsewhere: its status is lost
        exited = done == pid;
    }
    if (outOpen) drain(out.read, run.output, maxOutput);
    if (errOpen) drain(err.read, run.errors, maxOutput);
    if (WIFEXITED(waitStatus)) run.exitStatus = WEXITSTATUS(waitStatus);
    return run;
}

std::string findProgram(const std::string& name)
{
    if (name.empty()) return {};
    const auto executable = [](const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) return executable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder.push_back('.'); // an empty entry is the working folder
        folder += '/';
        folder += name;
        if (executable(folder)) return folder;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

} // namespace vextral::platform
