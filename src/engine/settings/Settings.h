#pragma once

#include "core/FileTypes.h"
#include "settings/ColourNames.h"
#include "settings/ProfileFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vextral::settings {

// The icon editor when Option.ini names none: the desktop's program for the file.
constexpr const char* kDefaultEditor = "xdg-open";

// The in-memory copy of the Icon and File sections of Option.ini that the main
// window holds; the defaults are what a first start without the file uses.
struct Settings {
    Colour background = kWhite;          // Icon/Background
    std::string editor = kDefaultEditor; // Icon/Edit
    std::int32_t jpegQuality = 86;       // Icon/Jpeg
    bool bestImage = false;              // Icon/BestImage: draw pictures from each icon's best image
    bool unique = false;                 // Icon/Unique: hide icons identical to one shown before
    bool transparent = false;            // Icon/Transparent: pictures keep the icon's transparency
    bool cursors = false;                // Icon/Cursors: harvest the cursors of programs and libraries
    FileTypeSet fileTypes;               // File/<type> File, the classic nine on
    bool icon = true;                    // File/Icon: no icon limit
    std::int32_t iconNumber = 536;       // File/Icon Number
    bool file = true;                    // File/File: no file limit
    std::int32_t fileNumber = 536;       // File/File Number
    bool subFolder = true;               // File/SubFolder
    bool recycle = false;                // File/Recycle
    // Further patterns for the folder search, comma-separated, such as
    // "*.cur,*.ani"; not kept in Option.ini (the command line sets them).
    std::string morePatterns;

    // Loads every key in the program's order. A Background that is neither a
    // colour name nor a number leaves the background white, lets everything
    // else load, and is returned as the error text to show once.
    std::optional<std::string> load(const ProfileFile& profile);

    bool iconLimitOn() const { return !icon; }
    bool fileLimitOn() const { return !file; }
    // The folder search's mask from the file types, such as
    // "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp" (then "*.res"
    // and "*.icns" when they are on), followed by morePatterns when there
    // are any.
    std::string fileMask() const;
};

constexpr const char* kSettingsFileName = "Option.ini";

// Icon/Background as a colour. One that is neither a colour name nor a
// number reads as white, with the error text to show.
struct BackgroundSetting {
    Colour colour = kWhite;
    std::optional<std::string> problem;
};
BackgroundSetting readBackground(const ProfileFile::Snapshot& ini);

} // namespace vextral::settings
