#pragma once

// Runs a piece of work in a forked child whose address space may grow by a
// given allowance at most and whose CPU time is capped, and tells what it
// returned, how long it took and how much memory it took on top of what the
// test program already had. A reader that allocates without bound or loops
// fails the test instead of exhausting the machine.
//
//     const test::ChildRun run = test::runLimited([] { return readSomething(); });
//     EXPECT_EQ(run.failure, "");      // the child answered
//     EXPECT_EQ(run.text, "expected"); // what the work returned

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string>

namespace vextral::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kChildUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kChildUnderAddressSanitizer = true;
#else
inline constexpr bool kChildUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kChildUnderAddressSanitizer = false;
#endif

struct ChildRun {
    std::string text;      // what the work returned (at most 400 bytes kept)
    std::string failure;   // empty when the child answered; else how it ended
    double seconds = 0;    // wall time of the work
    double cpuSeconds = 0; // processor time of the work (user and system)
    double peakMiB = 0;    // resident memory the work added at its peak
};

struct ChildLimits {
    // Address space the work may add (not under AddressSanitizer, whose
    // shadow memory needs more).
    std::uint64_t memoryBytes = 1000ull * 1024 * 1024;
    rlim_t cpuSeconds = 20;
};

inline std::uint64_t statmPages(int field)
{
    unsigned long long values[2] = {};
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%llu %llu", &values[0], &values[1]) != 2) values[0] = values[1] = 0;
        std::fclose(f);
    }
    return values[field];
}

inline ChildRun runLimited(const std::function<std::string()>& work, const ChildLimits& limits = {})
{
    struct Answer {
        char text[400];
        char failure[200];
        double seconds;
        double cpuSeconds;
        double peakMiB;
    };
    ChildRun run;
    int channel[2];
    if (pipe(channel) != 0) {
        run.failure = "pipe failed";
        return run;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const long page = sysconf(_SC_PAGESIZE);
        if (!kChildUnderAddressSanitizer) {
            const rlim_t cap = statmPages(0) * static_cast<std::uint64_t>(page) + limits.memoryBytes;
            const rlimit as {cap, cap};
            setrlimit(RLIMIT_AS, &as);
        }
        const rlimit cpu {limits.cpuSeconds, limits.cpuSeconds};
        setrlimit(RLIMIT_CPU, &cpu);
        Answer answer {};
        const double residentBefore = static_cast<double>(statmPages(1) * static_cast<std::uint64_t>(page));
        const auto cpuOf = [](const rusage& u) {
            return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                   static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        rusage before {};
        getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        try {
            const std::string text = work();
            std::snprintf(answer.text, sizeof answer.text, "%s", text.c_str());
        } catch (const std::bad_alloc&) {
            std::snprintf(answer.failure, sizeof answer.failure, "threw std::bad_alloc");
        } catch (const std::exception& e) {
            std::snprintf(answer.failure, sizeof answer.failure, "threw: %s", e.what());
        }
        answer.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        answer.cpuSeconds = cpuOf(usage) - cpuOf(before);
        answer.peakMiB = (static_cast<double>(usage.ru_maxrss) * 1024 - residentBefore) / (1024 * 1024);
        if (write(channel[1], &answer, sizeof answer) != sizeof answer) _exit(2);
        _exit(0);
    }
    close(channel[1]);
    Answer answer {};
    const bool got = read(channel[0], &answer, sizeof answer) == sizeof answer;
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!got) {
        run.failure =
            WIFSIGNALED(status) ? "child died of signal " + std::to_string(WTERMSIG(status)) : "child gave no answer";
        return run;
    }
    run.text = answer.text;
    run.failure = answer.failure;
    run.seconds = answer.seconds;
    run.cpuSeconds = answer.cpuSeconds;
    run.peakMiB = answer.peakMiB;
    return run;
}

} // namespace vextral::test
