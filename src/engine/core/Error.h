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

// What was typed into one field of a form is wrong: the message names the
// field by its label first ("Up to: '' is not a valid integer value"), and
// field() is that label, by which a dialog finds the field to focus.
class FieldError : public Error {
public:
    FieldError(const std::string& field, const std::string& problem) : Error(field + ": " + problem), field_(field) {}
    const std::string& field() const { return field_; }

private:
    std::string field_;
};

} // namespace vextral
