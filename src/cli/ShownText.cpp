#include "cli/ShownText.h"

namespace vextral::cli {

std::string shownText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\': shown += "\\\\"; break;
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\r': shown += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                shown += "\\x";
                shown += kHex[c >> 4];
                shown += kHex[c & 0xF];
            } else {
                shown += ch;
            }
        }
    }
    return shown;
}

} // namespace vextral::cli
