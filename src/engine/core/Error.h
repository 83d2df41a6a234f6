#pragma once

#include <stdexcept>
#include <string>

namespace vextral {

// An error the user sees: its text is the message shown in the error box
// (which adds a final "." when the text lacks one).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace vextral
