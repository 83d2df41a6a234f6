#include "cli/Arguments.h"

namespace vextral::cli {

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
