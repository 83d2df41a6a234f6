#pragma once

#include <string>

#include <sys/types.h>

namespace vextral::platform {

// The folder that holds the program's own files (Option.ini, update.ini and
// the working pictures Vextral.bmp and Image.bmp): the executable's folder
// when keepsFilesBeside says so, otherwise configFolder(), created on demand.
std::string programFolder();

// The program folder of an executable in folder, deciding from the folder's
// owner and whether this process may write it.
std::string programFolderFor(const std::string& folder);

// Whether a program in folder keeps its files beside itself: only a folder
// that belongs to the user running it (user, the effective uid) and that
// can be written, and never one of the system's (under /usr or /opt), whose
// files belong to a package. So a program run from its build tree or from a
// home folder keeps them beside itself, and an installed one in the
// configuration folder, also when root runs it.
bool keepsFilesBeside(const std::string& folder, uid_t owner, uid_t user, bool writable);

// $XDG_CONFIG_HOME/vextral when XDG_CONFIG_HOME is an absolute path, else
// ~/.config/vextral (the temporary folder's vextral without a home). Not
// created here.
std::string configFolder();

} // namespace vextral::platform
