#include "settings/WindowState.h"

#include "core/Text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace vextral::settings {

namespace {

constexpr const char* kChooserKeys[kChooserCount] = {
    "Last Add Folder", "Last Add File", "Last Save Picture", "Last Save All", "Last Web Page",
    "Last Print PDF",  "Last Convert",  "Last Attach",       "Last Editor",
};

struct LayoutName {
    ViewLayout layout;
    const char* name;
};
constexpr LayoutName kLayoutNames[] = {
    {ViewLayout::LargeIcon, "Large Icon"},
    {ViewLayout::List, "List"},
    {ViewLayout::Details, "Details"},
};

// The section's keys, each by its lower-case name; the first occurrence counts,
// as it does for every key of the file.
class SectionKeys {
public:
    SectionKeys(const ProfileFile::Snapshot& ini, const std::string& section)
    {
        for (auto& [key, value] : ini.entries(section)) values_.try_emplace(lowerAscii(key), std::move(value));
    }

    const std::string* text(const std::string& key) const
    {
        const auto at = values_.find(lowerAscii(key));
        return at == values_.end() ? nullptr : &at->second;
    }

    // A whole number within [low, high]; nothing when missing, garbage or out of bounds.
    std::optional<int> number(const std::string& key, int low, int high) const
    {
        const std::string* t = text(key);
        if (!t) return std::nullopt;
        const auto n = parseInteger(*t);
        if (!n || *n < low || *n > high) return std::nullopt;
        return static_cast<int>(*n);
    }

    // The list of entries "<item>1" to "<item>N", N given by the key count
    // (at most kMaxListEntries); missing and empty entries are left out.
    std::vector<std::string> list(const std::string& count, const std::string& item) const
    {
        std::vector<std::string> entries;
        // A count past the cap (a hand-edited file) reads the first entries only.
        const int n = std::min(number(count, 0, std::numeric_limits<int>::max()).value_or(0),
                               static_cast<int>(WindowState::kMaxListEntries));
        for (int i = 1; i <= n; ++i) {
            const std::string* t = text(item + std::to_string(i));
            if (!t) continue;
            std::string path = decodeEntry(*t);
            if (!path.empty()) entries.push_back(std::move(path));
        }
        return entries;
    }

private:
    std::unordered_map<std::string, std::string> values_;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Comma-separated pane widths; nothing unless every one is a width and there
// are no more than the splitter can have.
std::vector<int> paneWidths(const std::string& text)
{
    std::vector<int> sizes;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string part = text.substr(start, comma - start);
        part.erase(0, part.find_first_not_of(" \t"));
        part.erase(part.find_last_not_of(" \t") + 1);
        const auto n = parseInteger(part);
        if (!n || *n < 0 || *n > WindowState::kMaxSide) return {};
        if (sizes.size() == static_cast<std::size_t>(WindowState::kMaxSplitterPanes)) return {};
        sizes.push_back(static_cast<int>(*n));
        start = comma + 1;
    }
    return sizes;
}

// Writes "<count>=N", then "<item>1" to "<item>N", for the entries that can be stored.
void writeList(ProfileFile::Batch& batch, const std::vector<std::string>& paths, const std::string& count,
               const std::string& item)
{
    std::vector<std::string> values;
    for (const std::string& path : paths) {
        if (values.size() == WindowState::kMaxListEntries) break;
        std::string value = encodeEntry(path);
        if (!path.empty() && value.size() <= ProfileFile::kMaxValue) values.push_back(std::move(value));
    }
    batch.writeInteger(kWindowSection, count, static_cast<std::int32_t>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i)
        batch.writeString(kWindowSection, item + std::to_string(i + 1), values[i]);
}

// The size the window's layout was made for: the least a first start opens at.
constexpr int kDefaultWidth = 615;
constexpr int kDefaultHeight = 436;

std::int64_t overlap(const ScreenRect& a, const ScreenRect& b)
{
    const std::int64_t left = std::max<std::int64_t>(a.x, b.x);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t {a.x} + a.width, std::int64_t {b.x} + b.width);
    const std::int64_t top = std::max<std::int64_t>(a.y, b.y);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t {a.y} + a.height, std::int64_t {b.y} + b.height);
    return right > left && bottom > top ? (right - left) * (bottom - top) : 0;
}

} // namespace

const char* chooserKey(Chooser chooser) { return kChooserKeys[static_cast<std::size_t>(chooser)]; }

RecentSources::RecentSources(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        if (paths_.size() == kMaxRecent) break;
        if (!path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
    }
}

void RecentSources::add(const std::string& path)
{
    if (path.empty()) return;
    std::erase(paths_, path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kMaxRecent) paths_.resize(kMaxRecent);
}

std::string encodeEntry(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const bool blankAtEnd = (c == ' ' || c == '\t') && (i == 0 || i + 1 == path.size());
        if (c == '%' || c < 0x20 || c == 0x7F || blankAtEnd) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string decodeEntry(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hexDigit(value[i + 1]) >= 0 && hexDigit(value[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(value[i + 1]) * 16 + hexDigit(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

WindowState WindowState::load(const ProfileFile::Snapshot& ini)
{
    WindowState state;
    const SectionKeys keys(ini, kWindowSection);

    const auto left = keys.number("Left", -kMaxPosition, kMaxPosition);
    const auto top = keys.number("Top", -kMaxPosition, kMaxPosition);
    const auto width = keys.number("Width", 1, kMaxSide);
    const auto height = keys.number("Height", 1, kMaxSide);
    if (left && top && width && height) state.geometry = ScreenRect {*left, *top, *width, *height};
    state.maximized = keys.number("Maximized", 0, 1).value_or(0) == 1;
    if (const std::string* sizes = keys.text("Splitter")) state.splitterSizes = paneWidths(*sizes);

    state.folders = keys.list("Folders", "Folder");
    state.files = keys.list("Files", "File");
    state.recent = RecentSources(keys.list("Recent", "Recent"));

    if (const std::string* layout = keys.text("Layout")) {
        for (const LayoutName& l : kLayoutNames) {
            if (sameName(*layout, l.name)) state.layout = l.layout;
        }
    }
    state.zoom = keys.number("Zoom", kMinZoom, kMaxZoom);
    for (std::size_t c = 0; c < kChooserCount; ++c) {
        if (const std::string* folder = keys.text(kChooserKeys[c])) state.chooserFolders[c] = decodeEntry(*folder);
    }
    return state;
}

void WindowState::save(ProfileFile::Batch& batch) const
{
    batch.eraseSection(kWindowSection);
    if (geometry) {
        batch.writeInteger(kWindowSection, "Left", geometry->x);
        batch.writeInteger(kWindowSection, "Top", geometry->y);
        batch.writeInteger(kWindowSection, "Width", geometry->width);
        batch.writeInteger(kWindowSection, "Height", geometry->height);
    }
    batch.writeBool(kWindowSection, "Maximized", maximized);
    if (!splitterSizes.empty()) {
        std::string sizes;
        for (const int s : splitterSizes) sizes += (sizes.empty() ? "" : ",") + std::to_string(s);
        batch.writeString(kWindowSection, "Splitter", sizes);
    }
    if (layout) {
        for (const LayoutName& l : kLayoutNames) {
            if (l.layout == *layout) batch.writeString(kWindowSection, "Layout", l.name);
        }
    }
    if (zoom) batch.writeInteger(kWindowSection, "Zoom", *zoom);
    writeList(batch, folders, "Folders", "Folder");
    writeList(batch, files, "Files", "File");
    writeList(batch, recent.paths(), "Recent", "Recent");
    for (std::size_t c = 0; c < kChooserCount; ++c) {
        const std::string value = encodeEntry(chooserFolders[c]);
        if (!value.empty() && value.size() <= ProfileFile::kMaxValue)
            batch.writeString(kWindowSection, kChooserKeys[c], value);
    }
}

void WindowState::save(const ProfileFile& file) const
{
    ProfileFile::Batch batch(file);
    save(batch);
    batch.commit();
}

ScreenRect placeWindow(const std::optional<ScreenRect>& stored, const std::vector<ScreenRect>& screens)
{
    std::vector<ScreenRect> usable;
    for (const ScreenRect& s : screens) {
        if (s.width > 0 && s.height > 0) usable.push_back(s);
    }
    if (usable.empty()) return stored.value_or(ScreenRect {0, 0, kDefaultWidth, kDefaultHeight});
    const ScreenRect& primary = usable.front();
    if (!stored) {
        const auto part = [](int side, int least) {
            return std::min(side, std::max(static_cast<int>(std::int64_t {side} * 7 / 10), least));
        };
        const int width = part(primary.width, kDefaultWidth);
        const int height = part(primary.height, kDefaultHeight);
        return {primary.x + (primary.width - width) / 2, primary.y + (primary.height - height) / 2, width, height};
    }
    const ScreenRect* best = &primary;
    std::int64_t bestOverlap = 0;
    for (const ScreenRect& s : usable) {
        if (const std::int64_t o = overlap(*stored, s); o > bestOverlap) {
            best = &s;
            bestOverlap = o;
        }
    }
    const ScreenRect& screen = *best;
    ScreenRect placed;
    placed.width = std::clamp(stored->width, 1, screen.width);
    placed.height = std::clamp(stored->height, 1, screen.height);
    placed.x = std::clamp(stored->x, screen.x, screen.x + screen.width - placed.width);
    placed.y = std::clamp(stored->y, screen.y, screen.y + screen.height - placed.height);
    return placed;
}

} // namespace vextral::settings
