#pragma once

#include "harvest/HarvestView.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace vextral::cli {

// The one-line progress display of vextral-cli on a terminal: a harvest's
// status, the folder being searched with the files found so far, and the
// files saved. It is redrawn in place at most ten times a second and never
// wider than the terminal; disabled, it writes nothing.
class ProgressLine final : public HarvestView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ProgressLine(std::ostream& err, bool enabled, int columns = 80, Clock clock = &std::chrono::steady_clock::now);

    void setStatus(const std::string& text) override;
    void setFound(const std::string& text) override;
    void setScanned(const std::string&) override {}
    void setExtracted(const std::string& text) override;
    void setGaugeCurrent(int) override {}
    void setGaugeTotal(int percent) override { total_ = percent; }
    void setSearchFolder(const std::string& folder) override;

    // Saving: "Saving done/total".
    void saving(int done, int total);
    // Removes the line, so that a message or the summary starts on a clean line.
    void clear();

private:
    void update();
    std::string text() const;

    std::ostream& err_;
    bool enabled_;
    int columns_;
    Clock clock_;
    std::optional<std::chrono::steady_clock::time_point> lastDraw_;
    bool shown_ = false;
    enum class Stage { Run, Search, Save } stage_ = Stage::Run;
    std::string status_, extracted_, folder_;
    long long found_ = 0;
    int total_ = 0;
    int saved_ = 0, toSave_ = 0;
};

} // namespace vextral::cli
