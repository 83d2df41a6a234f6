#pragma once

#include <string>

namespace vextral {

// What a harvest run shows while it works: the main window's "Progress" page,
// its Start and Stop commands and the update brackets of its lists. The GUI
// implements it with its controls, the command line with a progress line,
// tests with a recorder.
class HarvestView {
public:
    virtual ~HarvestView() = default;

    virtual void showProgressPage() {}
    virtual void setStatus(const std::string& text) = 0;    // staSearch
    virtual void setFound(const std::string& text) = 0;     // staFound
    virtual void setScanned(const std::string& text) = 0;   // staFile
    virtual void setExtracted(const std::string& text) = 0; // staIcon
    virtual void setGaugeCurrent(int percent) = 0;
    virtual void setGaugeTotal(int percent) = 0;
    // The folder the folders phase's search enters next. The main window has
    // no place for it; the command line's progress line shows it.
    virtual void setSearchFolder(const std::string& /*folder*/) {}

    virtual void setStartMenuEnabled(bool) {}
    virtual void setStartButtonEnabled(bool) {}
    virtual void setStopMenuEnabled(bool) {}

    // The icon list and the found-files list are filled between these pairs;
    // every begin is matched by exactly one end on every way a run can end.
    virtual void beginIconListUpdate() {}
    virtual void endIconListUpdate() {}
    virtual void beginFoundListUpdate() {}
    virtual void endFoundListUpdate() {}
};

// A source list (files or folders) read by position; its count may change
// while a run pumps events.
class SourceList {
public:
    virtual ~SourceList() = default;
    virtual int count() const = 0;
    virtual std::string at(int index) const = 0;
};

} // namespace vextral
