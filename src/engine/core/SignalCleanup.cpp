#include "core/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace vextral {

namespace {

// A slot is Free, being Filled by the thread that claimed it, Watched (its
// name and pid are complete and may be read), or Removing: a handler took
// it, and then the process is ending.
enum SlotState : int { Free, Filled, Watched, Removing };

struct Slot {
    std::atomic<int> state {Free};
    pid_t owner = 0;
    char path[PATH_MAX] {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");

// Enough for every file written at the same time (a save on each worker
// thread); the pages of the slots never used are never touched.
constexpr int kSlots = 64;
Slot slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];
std::atomic<bool> installed[sizeof kSignals / sizeof kSignals[0]];

extern "C" void onEndingSignal(int number)
{
    const int savedErrno = errno;
    removeFilesForSignal();
    // We are only ever installed over the default disposition: back to it,
    // and the signal, raised again, ends the process once this returns.
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        if (kSignals[i] == number && installed[i].load()) ::sigaction(number, &previous[i], nullptr);
    }
    ::raise(number);
    errno = savedErrno;
}

void installHandlers()
{
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction current {};
        if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
        previous[i] = current;
        installed[i].store(true);
        struct sigaction ours {};
        ours.sa_handler = onEndingSignal;
        ::sigemptyset(&ours.sa_mask);
        // While one of them is handled the others wait: one walk of the slots.
        for (int s : kSignals) ::sigaddset(&ours.sa_mask, s);
        if (::sigaction(kSignals[i], &ours, nullptr) != 0) installed[i].store(false);
    }
}

} // namespace

CleanupOnSignal::CleanupOnSignal(const std::string& path)
{
    static std::once_flag once;
    const int savedErrno = errno;
    std::call_once(once, installHandlers);
    errno = savedErrno;
    if (path.empty() || path.size() >= PATH_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (!slots[i].state.compare_exchange_strong(expected, Filled, std::memory_order_acquire)) continue;
        slots[i].owner = ::getpid();
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(Watched, std::memory_order_release);
        slot_ = i;
        return;
    }
}

CleanupOnSignal& CleanupOnSignal::operator=(CleanupOnSignal&& other) noexcept
{
    if (this != &other) {
        forget();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

void CleanupOnSignal::forget() noexcept
{
    if (slot_ < 0) return;
    // A handler that already took the slot owns it: the process is ending.
    int expected = Watched;
    slots[slot_].state.compare_exchange_strong(expected, Free, std::memory_order_release);
    slot_ = -1;
}

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    ::sigemptyset(&held);
    for (int s : kSignals) ::sigaddset(&held, s);
    ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

SignalsHeld::~SignalsHeld()
{
    const int savedErrno = errno;
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    errno = savedErrno;
}

void removeFilesForSignal() noexcept
{
    const pid_t self = ::getpid();
    for (Slot& slot : slots) {
        int expected = Watched;
        if (!slot.state.compare_exchange_strong(expected, Removing, std::memory_order_acquire)) continue;
        if (slot.owner == self) {
            ::unlink(slot.path);
        } else {
            slot.state.store(Watched, std::memory_order_release); // a parent's file, not ours
        }
    }
}

} // namespace vextral
