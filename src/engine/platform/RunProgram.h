#pragma once

#include "core/Error.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace vextral::platform {

// What became of a program run by runProgram.
struct ProgramRun {
    bool timedOut = false; // it outlived its time and was killed
    int exitStatus = -1;   // its exit status when it ended by itself; -1 when a signal ended it
    std::string output;    // what it wrote to standard output (up to the limit)
    std::string errors;    // what it wrote to standard error (up to the limit)

    bool succeeded() const { return !timedOut && exitStatus == 0; }
};

// A program that could not be run: "Cannot run NAME: <reason>", the system's
// reason alone in reason().
class ProgramError : public Error {
public:
    ProgramError(const std::string& program, std::string reason)
        : Error("Cannot run " + program + ": " + reason), reason_(std::move(reason))
    {}
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

// Runs argv[0] (looked up on PATH when it holds no "/") with the other
// elements as its arguments, each one argument, no shell between. Standard
// input is /dev/null; at most maxOutput bytes of each output stream are kept,
// the rest is read and dropped. A program still running after limit is killed.
// Throws ProgramError when the program cannot be started (or its end cannot
// be waited for).
ProgramRun runProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                      std::size_t maxOutput = 1 << 20);

// The path of an executable file called name in a folder of PATH; empty when there is none.
std::string findProgram(const std::string& name);

} // namespace vextral::platform
