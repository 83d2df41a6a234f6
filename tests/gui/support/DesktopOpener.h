#pragma once

// Stands in for the desktop's opener: an "xdg-open" first on PATH that
// writes each argument it is given to a record, one line a call, and then
// fails the way the real one does when told to (its words on standard error
// and exit status 3, "no method available") or succeeds.
#include "TestSupport.h"
#include "gui/support/Widgets.h"

#include <QStringList>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace vextral::test {

class DesktopOpener {
public:
    explicit DesktopOpener(bool fails = false)
    {
        const std::filesystem::path script = bin_.path() / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record().string() << "'\n"
                              << (fails ? "echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n"
                                        : "exit 0\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        path_.emplace("PATH", bin_.path().string() + ":" + (path ? path : "/usr/bin:/bin"));
    }

    // The arguments given so far, waiting up to a few seconds for count of them.
    QStringList opened(int count)
    {
        waitUntil([&] { return read().size() >= count; }, 5000);
        return read();
    }

private:
    std::filesystem::path record() const { return bin_.path() / "opened"; }
    QStringList read() const
    {
        std::ifstream in(record());
        QStringList lines;
        for (std::string line; std::getline(in, line);) lines << QString::fromStdString(line);
        return lines;
    }

    TempDir bin_;
    std::optional<ScopedEnv> path_;
};

} // namespace vextral::test
