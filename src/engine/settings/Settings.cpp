#include "settings/Settings.h"

#include "core/Error.h"

namespace vextral::settings {

BackgroundSetting readBackground(const ProfileFile::Snapshot& ini)
{
    try {
        return {colourFromText(ini.readString("Icon", "Background", "clWhite")), std::nullopt};
    } catch (const Error& e) {
        return {kWhite, e.what()};
    }
}

std::optional<std::string> Settings::load(const ProfileFile& profile)
{
    const ProfileFile::Snapshot ini = profile.read();
    const BackgroundSetting read = readBackground(ini);
    background = read.colour;
    editor = ini.readString("Icon", "Edit", kDefaultEditor);
    jpegQuality = ini.readInteger("Icon", "Jpeg", 86);
    bestImage = ini.readBool("Icon", "BestImage", false);
    unique = ini.readBool("Icon", "Unique", false);
    for (const FileTypeInfo& t : kFileTypes) fileTypes.set(t.type, ini.readBool("File", t.settingsKey, true));
    icon = ini.readBool("File", "Icon", true);
    if (!icon) iconNumber = ini.readInteger("File", "Icon Number", 536);
    file = ini.readBool("File", "File", true);
    if (!file) fileNumber = ini.readInteger("File", "File Number", 536);
    subFolder = ini.readBool("File", "SubFolder", true);
    recycle = ini.readBool("File", "Recycle", false);
    return read.problem;
}

std::string Settings::fileMask() const
{
    std::string mask;
    // Every pattern but the last type's is followed by a comma, whether or not
    // a later one follows.
    for (const FileTypeInfo& t : kFileTypes) {
        if (!fileTypes.has(t.type)) continue;
        mask += std::string("*.") + t.extension;
        if (t.type != kFileTypes.back().type) mask += ",";
    }
    if (!morePatterns.empty()) {
        if (!mask.empty() && mask.back() != ',') mask += ",";
        mask += morePatterns;
    }
    return mask;
}

} // namespace vextral::settings
