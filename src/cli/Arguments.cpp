#include "cli/Arguments.h"

#include "codecs/Picture.h"
#include "core/Error.h"
#include "core/Text.h"

#include <climits>
#include <cstdint>

namespace vextral::cli {

namespace {

// Decimal digits, a "-" before them allowed, as a 32-bit value; nothing for
// anything else (the engine's parser also takes "$" and "0x" hexadecimal and
// "+", which a command line does not).
std::optional<std::int32_t> wholeNumber(const std::string& text)
{
    const std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text.find_first_not_of("0123456789", digits) != std::string::npos) return std::nullopt;
    return parseInteger(text);
}

std::string rangeText(int min, int max)
{
    if (max != INT_MAX) return " from " + std::to_string(min) + " to " + std::to_string(max);
    if (min > 0) return " of at least " + std::to_string(min);
    return "";
}

} // namespace

int intValue(const std::string& option, const std::string& text, int min, int max)
{
    const auto v = wholeNumber(text);
    if (!v || *v < min || *v > max)
        throw UsageError(option + " needs a whole number" + rangeText(min, max) + ", not '" + text + "'");
    return *v;
}

PictureSize sizeValue(const std::string& option, const std::string& text)
{
    const std::size_t x = text.find_first_of("xX");
    const auto width = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(0, x));
    const auto height = x == std::string::npos ? std::nullopt : wholeNumber(text.substr(x + 1));
    if (!width || !height || *width < 1 || *height < 1) {
        throw UsageError(option + " needs WIDTHxHEIGHT, each side a whole number from 1 to " +
                         std::to_string(codecs::kMaxPictureSide) + ", not '" + text + "'");
    }
    try {
        codecs::checkPictureSize(*width, *height);
    } catch (const Error& e) {
        throw UsageError(e.what());
    }
    return {*width, *height};
}

bool Arguments::next()
{
    while (next_ < args_.size()) {
        const std::string& a = args_[next_++];
        if (!optionsEnded_ && a == "--") {
            optionsEnded_ = true;
            continue;
        }
        option_ = !optionsEnded_ && a.size() > 1 && a[0] == '-';
        attached_.reset();
        const std::size_t equals = option_ && a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
        if (equals == std::string::npos) {
            name_ = a;
        } else {
            name_ = a.substr(0, equals);
            attached_ = a.substr(equals + 1);
        }
        return true;
    }
    return false;
}

std::string Arguments::value()
{
    if (attached_) return *attached_;
    if (next_ >= args_.size()) throw UsageError(name_ + " needs a value");
    return args_[next_++];
}

std::string Arguments::folderValue()
{
    std::string folder = value();
    if (folder.empty()) throw UsageError(name_ + " needs a folder name");
    return folder;
}

int Arguments::intValue(int min, int max) { return cli::intValue(name_, value(), min, max); }

PictureSize Arguments::sizeValue() { return cli::sizeValue(name_, value()); }

void Arguments::noValue() const
{
    if (attached_) throw UsageError(name_ + " takes no value");
}

CommonOption Arguments::commonOption() const
{
    if (!option_) return CommonOption::None;
    const CommonOption which = name_ == "--help" || name_ == "-h" ? CommonOption::Help
                               : name_ == "--version"             ? CommonOption::Version
                                                                  : CommonOption::None;
    if (which != CommonOption::None) noValue();
    return which;
}

} // namespace vextral::cli
