#pragma once

#include <functional>

namespace vextral::net {

// Called between waits (every few tens of milliseconds) so that a window keeps
// responding while the network is slow; may be empty.
using Pump = std::function<void()>;

} // namespace vextral::net
