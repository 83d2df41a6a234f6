#include "settings/OptionsForm.h"

#include "core/Error.h"
#include "core/Text.h"
#include "settings/Settings.h"

#include <algorithm>
#include <iterator>

namespace vextral::settings {

namespace {

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

// A text typed into a field; a line break would end the key's line in the
// file and start another.
const std::string& oneLine(const std::string& text)
{
    if (text.find_first_of("\r\n") != std::string::npos) {
        throw Error("'" + text + "' holds a line break, which Option.ini cannot keep");
    }
    return text;
}

// The limit of a quantity group whose "Up to" is chosen.
std::optional<std::int32_t> limitOf(const QuantityChoice& q)
{
    if (!q.upTo) return std::nullopt;
    return integerFromText(q.number, "Up to");
}

void checkProxyPort(const std::string& port)
{
    if (port.empty()) return;
    const std::int32_t value = integerFromText(port, "Port");
    if (value < kLowestPort || value > kHighestPort) {
        throw FieldError("Port", "'" + port + "' is not a valid port number (" + std::to_string(kLowestPort) + " to " +
                                     std::to_string(kHighestPort) + ")");
    }
}

void writeQuantity(ProfileFile::Batch& batch, const char* automaticKey, const QuantityChoice& q,
                   const std::optional<std::int32_t>& limit)
{
    const std::string key = automaticKey;
    batch.writeBool("File", key, q.automatic);
    batch.writeBool("File", key + " No", q.upTo);
    if (limit) batch.writeInteger("File", key + " Number", *limit);
}

} // namespace

void QuantityChoice::setAutomatic(bool checked)
{
    automatic = checked;
    if (checked) upTo = false;
}

void QuantityChoice::setUpTo(bool checked)
{
    upTo = checked;
    if (checked) automatic = false;
}

InternetOptions InternetOptions::load(const ProfileFile::Snapshot& ini)
{
    InternetOptions o;
    o.smtp = ini.readString("Internet", "SmtpIp", "");
    o.replyTo = ini.readString("Internet", "Replyto", "");
    o.proxyIp = ini.readString("Internet", "ProxyIP", "");
    o.proxyPort = ini.readString("Internet", "ProxyPort", "");
    o.proxy = ini.readBool("Internet", "Proxy", false);
    o.connection = ini.readString("Internet", "Connection", "20");
    o.smtpPort = ini.readString("Internet", "SmtpPort", "25");
    o.smtpSecurity = ini.readString("Internet", "SmtpSecurity", "");
    o.smtpSecurity = kSmtpSecurityNames[o.smtpSecurityIndex()];
    o.smtpUser = ini.readString("Internet", "SmtpUser", "");
    return o;
}

int InternetOptions::smtpSecurityIndex() const
{
    for (int i = 0; i < static_cast<int>(std::size(kSmtpSecurityNames)); ++i)
        if (sameName(smtpSecurity, kSmtpSecurityNames[i])) return i;
    return 0;
}

std::optional<std::string> OptionsForm::load(const ProfileFile& profile)
{
    const ProfileFile::Snapshot ini = profile.read();
    const BackgroundSetting read = readBackground(ini);
    background = read.colour;
    editor = ini.readString("Icon", "Edit", kDefaultEditor);
    // The track bar holds no position outside its range.
    jpegQuality = std::clamp(ini.readInteger("Icon", "Jpeg", kJpegQualityStart), 0, kJpegQualityMax);
    bestImage = ini.readBool("Icon", "BestImage", false);
    unique = ini.readBool("Icon", "Unique", false);

    for (const FileTypeInfo& t : kFileTypes) fileTypes.set(t.type, ini.readBool("File", t.settingsKey, t.onByDefault));

    // "Automatic", then "Up to" as a click would choose it, then the limit when "Up to" is still chosen.
    const auto loadGroup = [&](const std::string& key, QuantityChoice& q, void (OptionsForm::*chooseUpTo)()) {
        q.setAutomatic(ini.readBool("File", key, true));
        if (ini.readBool("File", key + " No", false)) {
            (this->*chooseUpTo)();
        } else {
            q.setUpTo(false);
        }
        if (q.upTo) q.number = ini.readString("File", key + " Number", "536");
    };
    loadGroup("Icon", icons, &OptionsForm::chooseIconsUpTo);
    loadGroup("File", files, &OptionsForm::chooseFilesUpTo);

    subFolder = ini.readBool("File", "SubFolder", true);
    recycle = ini.readBool("File", "Recycle", true);
    return read.problem;
}

void OptionsForm::chooseIconsUpTo()
{
    icons.setUpTo(true);
    files.setAutomatic(true);
}

void OptionsForm::chooseFilesUpTo()
{
    files.setUpTo(true);
    icons.setAutomatic(true);
}

void OptionsForm::store(const ProfileFile& profile) const
{
    // Every value is checked before the file is touched.
    const std::optional<std::int32_t> iconLimit = limitOf(icons);
    const std::optional<std::int32_t> fileLimit = limitOf(files);
    ProfileFile::Batch batch(profile);
    // The page not shown: what the file holds now is written back as it reads.
    const InternetOptions net = internet ? *internet : InternetOptions::load(profile);
    if (internet) {
        checkProxyPort(net.proxyPort);
        checkProxyPort(net.smtpPort);
    }
    for (const std::string* text : {&editor, &net.smtp, &net.replyTo, &net.connection, &net.proxyIp, &net.proxyPort,
                                    &net.smtpPort, &net.smtpUser}) {
        oneLine(*text);
    }

    batch.eraseSection("Icon");
    batch.writeString("Icon", "Background", colourToText(background));
    batch.writeString("Icon", "Edit", editor);
    batch.writeInteger("Icon", "Jpeg", jpegQuality);
    if (bestImage) batch.writeBool("Icon", "BestImage", true);
    if (unique) batch.writeBool("Icon", "Unique", true);

    batch.eraseSection("File");
    for (const FileTypeInfo& t : kFileTypes) batch.writeBool("File", t.settingsKey, fileTypes.has(t.type));
    writeQuantity(batch, "Icon", icons, iconLimit);
    writeQuantity(batch, "File", files, fileLimit);
    batch.writeBool("File", "SubFolder", subFolder);
    batch.writeBool("File", "Recycle", recycle);

    batch.eraseSection("Internet");
    batch.writeString("Internet", "SmtpIp", net.smtp);
    batch.writeString("Internet", "Replyto", net.replyTo);
    batch.writeString("Internet", "Connection", net.connection);
    batch.writeBool("Internet", "Proxy", net.proxy);
    batch.writeString("Internet", "ProxyIP", net.proxyIp);
    batch.writeString("Internet", "ProxyPort", net.proxyPort);
    batch.writeString("Internet", "SmtpPort", net.smtpPort);
    batch.writeString("Internet", "SmtpSecurity", InternetOptions::kSmtpSecurityNames[net.smtpSecurityIndex()]);
    batch.writeString("Internet", "SmtpUser", net.smtpUser);

    batch.commit();
}

} // namespace vextral::settings
