#pragma once

#include <array>
#include <string>

namespace vextral {

// The nine kinds of file a folder harvest looks for, in the order the
// settings, the folder mask and the options dialog list them.
enum class FileType { Exe, Dll, Cpl, Scr, Icl, Ocx, Ico, Nil, Bmp };
constexpr int kFileTypeCount = 9;

struct FileTypeInfo {
    FileType type;
    const char* extension;   // "exe"
    const char* settingsKey; // "Exe File", the File section's key
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
}};

// The set of file types switched on, indexed by FileType.
class FileTypeSet {
public:
    FileTypeSet() { on_.fill(true); }
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
