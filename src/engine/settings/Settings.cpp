#include "settings/Settings.h"

#include "core/Error.h"

namespace vextral::settings {

std::optional<std::string> Settings::load(const ProfileFile& profile)
{
    const ProfileFile::Snapshot ini = profile.read();
    std::optional<std::string> problem;
    try {
        background = colourFromText(ini.readString("Icon", "Background", "clWhite"));
    } catch (const Error& e) {
        background = kWhite;
        problem = e.what();
    }
    editor = ini.readString("Icon", "Edit", "xdg-open");
    jpegQuality = ini.readInteger("Icon", "Jpeg", 86);
    exeFile = ini.readBool("File", "Exe File", true);
    dllFile = ini.readBool("File", "Dll File", true);
    cplFile = ini.readBool("File", "Cpl File", true);
    scrFile = ini.readBool("File", "Scr File", true);
    iclFile = ini.readBool("File", "Icl File", true);
    ocxFile = ini.readBool("File", "Ocx File", true);
    icoFile = ini.readBool("File", "Ico File", true);
    nilFile = ini.readBool("File", "Nil File", true);
    bmpFile = ini.readBool("File", "Bmp File", true);
    icon = ini.readBool("File", "Icon", true);
    if (!icon) iconNumber = ini.readInteger("File", "Icon Number", 536);
    file = ini.readBool("File", "File", true);
    if (!file) fileNumber = ini.readInteger("File", "File Number", 536);
    subFolder = ini.readBool("File", "SubFolder", true);
    recycle = ini.readBool("File", "Recycle", false);
    return problem;
}

std::string Settings::fileMask() const
{
    std::string mask;
    if (exeFile) mask += "*.exe,";
    if (dllFile) mask += "*.dll,";
    if (cplFile) mask += "*.cpl,";
    if (scrFile) mask += "*.scr,";
    if (iclFile) mask += "*.icl,";
    if (ocxFile) mask += "*.ocx,";
    if (icoFile) mask += "*.ico,";
    if (nilFile) mask += "*.nil,";
    if (bmpFile) mask += "*.bmp";
    return mask;
}

} // namespace vextral::settings
