#pragma once

#include "settings/WindowState.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace vextral::fuzz {

// A file of its own for each use, in $TMPDIR (else /tmp), removed when the process ends.
inline std::string windowFuzzPath(const char* tag)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/vextral-fuzz-window-" + tag + "-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) ::close(fd);
    return name;
}

// The entries that a save keeps: those whose stored form fits one value.
inline std::vector<std::string> storable(const std::vector<std::string>& paths)
{
    std::vector<std::string> kept;
    for (const std::string& p : paths) {
        if (!p.empty() && settings::encodeEntry(p).size() <= settings::ProfileFile::kMaxValue) kept.push_back(p);
    }
    return kept;
}

// An input is the text of Option.ini. Its Window section is read; what comes
// out keeps every bound (sizes, positions, list lengths, distinct recent
// sources), places the window on a screen, and reads back the same after a
// save into a fresh file. A wrong result stops the process on purpose.
// Shared by the fuzzer and by the test that replays the saved corpus.
inline std::size_t exerciseWindowState(const std::uint8_t* data, std::size_t size)
{
    using settings::WindowState;
    static const struct Files {
        std::string in = windowFuzzPath("in");
        std::string out = windowFuzzPath("out");
        ~Files()
        {
            ::unlink(in.c_str());
            ::unlink(out.c_str());
        }
    } files;
    {
        std::ofstream in(files.in, std::ios::binary | std::ios::trunc);
        in.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const WindowState state = WindowState::load(settings::ProfileFile(files.in));

    if (state.folders.size() > WindowState::kMaxListEntries || state.files.size() > WindowState::kMaxListEntries)
        __builtin_trap();
    const std::vector<std::string>& recent = state.recent.paths();
    if (recent.size() > settings::RecentSources::kMaxRecent) __builtin_trap();
    for (std::size_t i = 0; i < recent.size(); ++i) {
        for (std::size_t j = i + 1; j < recent.size(); ++j) {
            if (recent[i] == recent[j]) __builtin_trap();
        }
    }
    if (state.splitterSizes.size() > static_cast<std::size_t>(WindowState::kMaxSplitterPanes)) __builtin_trap();
    for (const int s : state.splitterSizes) {
        if (s < 0 || s > WindowState::kMaxSide) __builtin_trap();
    }
    if (state.zoom && (*state.zoom < WindowState::kMinZoom || *state.zoom > WindowState::kMaxZoom)) __builtin_trap();
    const std::vector<settings::ScreenRect> screens {{0, 0, 1280, 870}, {1280, -200, 1920, 1080}};
    const settings::ScreenRect placed = settings::placeWindow(state.geometry, screens);
    bool onScreen = false;
    for (const settings::ScreenRect& s : screens) {
        onScreen = onScreen || (placed.width >= 1 && placed.height >= 1 && placed.x >= s.x && placed.y >= s.y &&
                                placed.x + placed.width <= s.x + s.width && placed.y + placed.height <= s.y + s.height);
    }
    if (!onScreen) __builtin_trap();

    {
        std::ofstream out(files.out, std::ios::binary | std::ios::trunc);
    }
    const settings::ProfileFile out(files.out);
    state.save(out);
    const WindowState back = WindowState::load(out);
    if (back.geometry != state.geometry || back.maximized != state.maximized ||
        back.splitterSizes != state.splitterSizes || back.layout != state.layout || back.zoom != state.zoom)
        __builtin_trap();
    if (back.folders != storable(state.folders) || back.files != storable(state.files) ||
        back.recent.paths() != storable(recent))
        __builtin_trap();
    for (std::size_t c = 0; c < settings::kChooserCount; ++c) {
        const std::string& folder = state.chooserFolders[c];
        const bool kept = settings::encodeEntry(folder).size() <= settings::ProfileFile::kMaxValue;
        if (back.chooserFolders[c] != (kept ? folder : std::string())) __builtin_trap();
    }
    return state.folders.size() + state.files.size() + recent.size() + 1;
}

} // namespace vextral::fuzz
