#pragma once

#include <string>

namespace vextral::platform {

// The folder that holds the program's own files (Option.ini, update.ini and
// the working pictures): the executable's folder when it can be written,
// otherwise $XDG_CONFIG_HOME/vextral (by default ~/.config/vextral), created
// on demand.
std::string programFolder();

} // namespace vextral::platform
