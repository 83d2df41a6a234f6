#pragma once

// Waiting in tests for something to happen rather than for a fixed time.

#include <chrono>
#include <functional>
#include <thread>

namespace vextral::test {

// Asks condition every step until it holds or timeout has passed; true when
// it held. A test that waits on another process or thread says what it waits
// for and never sleeps longer than that takes.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds step = std::chrono::milliseconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(step);
    }
}

} // namespace vextral::test
