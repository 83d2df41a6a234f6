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

// A picture size given as WIDTHxHEIGHT.
struct PictureSize {
    int width = 32;
    int height = 32;
};

// The one integer rule of the command line: decimal digits, a "-" before
// them allowed, from min to max. Anything else throws UsageError
// "<option> needs a whole number, not '<text>'", saying "of at least <min>"
// or "from <min> to <max>" when the range is narrower than 0 and up.
int intValue(const std::string& option, const std::string& text, int min, int max);

// The one size rule of the command line: WIDTHxHEIGHT (or WIDTHXHEIGHT),
// each side a whole number from 1 to the largest picture side (16384).
// Anything else throws UsageError: "<option> needs WIDTHxHEIGHT, ..." or,
// for a side above the largest, the picture size's own message.
PictureSize sizeValue(const std::string& option, const std::string& text);

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
    // The option's value read as a folder name: throws UsageError
    // "<option> needs a folder name" when it is empty.
    std::string folderValue();
    // The option's value by the integer rule above.
    int intValue(int min, int max);
    // The option's value by the size rule above.
    PictureSize sizeValue();
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
