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
    transparent = ini.readBool("Icon", "Transparent", false);
    cursors = ini.readBool("Icon", "Cursors", false);
    for (const FileTypeInfo& t : kFileTypes) fileTypes.set(t.type, ini.readBool("File", t.settingsKey, t.onByDefault));
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
    const auto append = [&mask](const std::string& patterns) {
        if (!mask.empty() && mask.back() != ',') mask += ",";
        mask += patterns;
    };
    // Every pattern but the last classic type's is followed by a comma,
    // whether or not a later one follows; the newer types and the further
    // patterns join with one comma between.
    for (int k = 0; k < kClassicFileTypeCount; ++k) {
        const FileTypeInfo& t = kFileTypes[static_cast<std::size_t>(k)];
        if (!fileTypes.has(t.type)) continue;
        mask += std::string("*.") + t.extension;
        if (k != kClassicFileTypeCount - 1) mask += ",";
    }
    for (std::size_t k = kClassicFileTypeCount; k < kFileTypes.size(); ++k) {
        if (fileTypes.has(kFileTypes[k].type)) append(std::string("*.") + kFileTypes[k].extension);
    }
    if (!morePatterns.empty()) append(morePatterns);
    return mask;
}

} // namespace vextral::settings
