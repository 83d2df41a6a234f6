#pragma once

#include <array>
#include <string>

namespace vextral {

// The kinds of file a folder harvest looks for, in the order the settings,
// the folder mask and the options dialog list them: the nine classic ones,
// on by default, then compiled resource files and Apple icon files, off by
// default, so that a first start looks for what it always did.
enum class FileType { Exe, Dll, Cpl, Scr, Icl, Ocx, Ico, Nil, Bmp, Res, Icns };
constexpr int kFileTypeCount = 11;
constexpr int kClassicFileTypeCount = 9;

struct FileTypeInfo {
    FileType type;
    const char* extension;   // "exe"
    const char* settingsKey; // "Exe File", the File section's key
    bool onByDefault = true;
};

inline constexpr std::array<FileTypeInfo, kFileTypeCount> kFileTypes = {{
    {FileType::Exe, "exe", "Exe File"},
    {FileType::Dll, "dll", "Dll File"},
    {FileType::Cpl, "cpl", "Cpl File"},
    {FileType::Scr, "scr", "Scr File"},
    {FileType::Icl, "icl", "Icl File"},
    {FileType::Ocx, "ocx", "Ocx File"},
    {FileType::Ico, "ico", "Ico File"},
    {FileType::Nil, "nil", "Nil File"},
    {FileType::Bmp, "bmp", "Bmp File"},
    {FileType::Res, "res", "Res File", false},
    {FileType::Icns, "icns", "Icns File", false},
}};

// The set of file types switched on, indexed by FileType; each type as its
// default says to start with.
class FileTypeSet {
public:
    FileTypeSet()
    {
        for (std::size_t i = 0; i < on_.size(); ++i) on_[i] = kFileTypes[i].onByDefault;
    }
    static FileTypeSet none()
    {
        FileTypeSet s;
        s.on_.fill(false);
        return s;
    }
    bool has(FileType t) const { return on_[static_cast<std::size_t>(t)]; }
    void set(FileType t, bool on) { on_[static_cast<std::size_t>(t)] = on; }
    bool operator==(const FileTypeSet&) const = default;

private:
    std::array<bool, kFileTypeCount> on_ {};
};

} // namespace vextral
