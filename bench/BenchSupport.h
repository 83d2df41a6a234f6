#pragma once

// What the benchmarks that drive the desktop program share: a view and
// source lists for runs of the engine alone, and prompts that never block,
// keeping what they were told.
#include "gui/common/Prompts.h"
#include "harvest/HarvestRun.h"

#include <QColor>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vextral::bench {

// The file the harvest benchmarks read by default: Wine's shell32.dll, a
// system library with many icons, or fallback where Wine is not installed.
inline std::string iconLibrary(const std::string& fallback)
{
    const char* shell32 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll";
    return std::filesystem::exists(shell32) ? shell32 : fallback;
}

struct NoView : HarvestView {
    void setStatus(const std::string&) override {}
    void setFound(const std::string&) override {}
    void setScanned(const std::string&) override {}
    void setExtracted(const std::string&) override {}
    void setGaugeCurrent(int) override {}
    void setGaugeTotal(int) override {}
};

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths[static_cast<std::size_t>(i)]; }
};

struct SilentPrompts : gui::Prompts {
    QStringList messages; // information and error texts, in order
    QString browseFolder(QWidget*, const QString&) override { return {}; }
    QString openFile(QWidget*, const QString&, const QList<gui::FileFilter>&) override { return {}; }
    std::optional<QColor> chooseColour(QWidget*) override { return std::nullopt; }
    gui::SaveChoice saveFile(QWidget*, const QString&, const QStringList&, int, const QString&, const QString&) override
    {
        return {};
    }
    void information(QWidget*, const QString& text) override { messages << text; }
    void error(QWidget*, const QString& text) override { messages << text; }
};

} // namespace vextral::bench
