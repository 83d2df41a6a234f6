#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vextral::cli {

// A mistake in how a command was called: the command prints it with its usage
// and exits with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options every command takes.
enum class CommonOption { None, Help, Version };

// Walks a command's arguments in order. Before "--", an argument that begins
// with "-" (other than "-" alone) is an option, written "--name value" or
// "--name=value" when it takes a value; everything else is an operand.
class Arguments {
public:
    explicit Arguments(const std::vector<std::string>& args) : args_(args) {}

    // Moves to the next argument, passing over the "--" that ends the
    // options; false when none is left.
    bool next();
    bool isOption() const { return option_; }
    // The option's name without its "=value", or the operand as given.
    const std::string& name() const { return name_; }
    // The option's value: the text after "=", or else the next argument.
    // Throws UsageError when there is none.
    std::string value();
    // For an option that takes no value: throws UsageError when "=value" was given.
    void noValue() const;
    // Whether the current argument is "--help" (or "-h") or "--version";
    // throws UsageError when a value is attached to one.
    CommonOption commonOption() const;

private:
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    bool optionsEnded_ = false;
    bool option_ = false;
    std::string name_;
    std::optional<std::string> attached_;
};

} // namespace vextral::cli
