#pragma once

#include <signal.h>

#include <string>

namespace vextral {

// Files that must not outlive the process if SIGINT, SIGTERM or SIGHUP ends
// it: the temporary files of ReplacingFile, the output the thumbnailer makes.
//
// The names sit in a fixed array of slots claimed and released with atomics,
// so any thread may register and forget names while a handler on another
// thread walks the array; the handler allocates nothing and calls only
// unlink, getpid, sigaction and raise. The handlers are installed at the
// first registration, and only for the signals whose disposition is still
// the default one: a handler the desktop program (or anyone) set is left in
// charge, and an ignored signal stays ignored. Ours removes every name this
// process registered, puts the default disposition back and raises the
// signal again, so the process ends as it would have without us (its status
// says the signal). A child made by fork before exec does not remove its
// parent's files. When every slot is taken the name is simply not watched;
// the file is still removed by its owner on every ordinary path.
class CleanupOnSignal {
public:
    CleanupOnSignal() = default;
    // Watches path (as given: a relative name is taken from the folder
    // current when the signal comes).
    explicit CleanupOnSignal(const std::string& path);
    ~CleanupOnSignal() { forget(); }
    CleanupOnSignal(CleanupOnSignal&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
    CleanupOnSignal& operator=(CleanupOnSignal&& other) noexcept;
    CleanupOnSignal(const CleanupOnSignal&) = delete;
    CleanupOnSignal& operator=(const CleanupOnSignal&) = delete;

    // Stops watching: after the file was removed or renamed to its own name.
    void forget() noexcept;
    bool watching() const { return slot_ >= 0; }

private:
    int slot_ = -1;
};

// SIGINT, SIGTERM and SIGHUP held back on this thread for the life of the
// object: a file made and registered under it cannot be left by a signal
// that falls between the two.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_ {}; // the thread's mask before
};

// Removes every file this process has registered, now. Async-signal-safe:
// for the handlers of other signals that end the process (the thumbnailer's
// time limit).
void removeFilesForSignal() noexcept;

} // namespace vextral
