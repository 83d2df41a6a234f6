#pragma once

// The program's own facts, in one place: its version and release date, and
// the addresses of its home page, its author, its update server and its
// download page.
namespace vextral::product {

inline constexpr const char* kVersion = "2.1";
// The release date as the update check shows it beside the latest one.
inline constexpr const char* kReleaseDate = "May 5, 2001";

inline constexpr const char* kHomePage = "http://www.vextral.example/index.htm";
inline constexpr const char* kAuthorMail = "mailto:author@vextral.example";

// Where the update check fetches the update file, and where Download goes
// when that file names no location.
inline constexpr const char* kUpdateUrl = "http://www.vextral.example/update.ini";
inline constexpr const char* kDownloadLocation = "http://www.vextral.example/download.htm";

} // namespace vextral::product
