#pragma once

// The program's own facts, in one place: its version and release date
// (kVersion and kReleaseDate, made from the top CMakeLists.txt), and the
// addresses of its home page, its author, its update server and its
// download page.
#include "core/Version.h"

namespace vextral::product {

inline constexpr const char* kHomePage = "http://www.vextral.example/index.htm";
inline constexpr const char* kAuthorMail = "mailto:author@vextral.example";

// Where the update check fetches the update file, and where Download goes
// when that file names no location.
inline constexpr const char* kUpdateUrl = "http://www.vextral.example/update.ini";
inline constexpr const char* kDownloadLocation = "http://www.vextral.example/download.htm";

} // namespace vextral::product
