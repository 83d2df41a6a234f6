#pragma once

#include <string>
#include <string_view>

namespace vextral::cli {

// A name taken from outside data (a file name, a resource name, a reason a
// file gives) as the command line's text output prints it: one line that
// says every byte. A backslash is written "\\", a newline "\n", a tab "\t", a
// carriage return "\r", every other control byte (0x00 to 0x1f and DEL) as
// "\xHH" in lower-case hexadecimal; all other bytes, those of UTF-8 included,
// as they are. So a name without backslashes or control bytes prints
// unchanged, and every printed name reads back as exactly one name.
std::string shownText(std::string_view text);

} // namespace vextral::cli
