#pragma once

#include "core/FileTypes.h"
#include "settings/ColourNames.h"
#include "settings/ProfileFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vextral::settings {

// One quantity group of the options dialog's Search page: the choices
// "Automatic" and "Up to" exclude each other, and "Up to" has the limit's
// text as typed. A file may say neither (both keys 0), and then neither is
// chosen.
struct QuantityChoice {
    bool automatic = true; // radioIcon / radioFile
    bool upTo = false;     // radioIconNumber / radioFileNumber
    std::string number;    // editIcon / editFile, as typed

    // Checking or clearing one of the two choices; checking one clears the other.
    void setAutomatic(bool checked);
    void setUpTo(bool checked);
};

// The Internet page of the options dialog: the Internet section of Option.ini.
struct InternetOptions {
    std::string smtp;                                 // Internet/SmtpIp
    std::string replyTo;                              // Internet/Replyto
    std::string connection = "20";                    // Internet/Connection, seconds, as typed
    bool proxy = false;                               // Internet/Proxy
    std::string proxyIp;                              // Internet/ProxyIP
    std::string proxyPort;                            // Internet/ProxyPort; empty means kDefaultProxyPort
    std::string smtpPort = "25";                      // Internet/SmtpPort, the mail server's port, as typed
    std::string smtpSecurity = kSmtpSecurityNames[0]; // Internet/SmtpSecurity, one of kSmtpSecurityNames
    std::string smtpUser;                             // Internet/SmtpUser; empty: the mail server is not logged in to

    static constexpr int kDefaultProxyPort = 8080;
    // How the mail connection is protected: plain, upgraded with STARTTLS, or
    // TLS from the start. A stored text that is none of these reads as the first.
    static constexpr const char* kSmtpSecurityNames[] = {"None", "STARTTLS", "TLS"};
    // The position of smtpSecurity in kSmtpSecurityNames (0 when it is none of them).
    int smtpSecurityIndex() const;

    static InternetOptions load(const ProfileFile::Snapshot& ini);
    static InternetOptions load(const ProfileFile& profile) { return load(profile.read()); }
};

// What the options dialog shows and writes: every setting of Option.ini.
// The dialog reads its controls into one, lets it apply the rules between
// them, shows the result and, on OK, has it stored.
struct OptionsForm {
    Colour background = kWhite;                   // labColor
    std::string editor;                           // editDirectory
    std::int32_t jpegQuality = kJpegQualityStart; // tbrImage, 0..100
    FileTypeSet fileTypes;                        // chbExe ... chbBmp, chbRes, chbIcns
    QuantityChoice icons;                         // "Icon quantity"
    QuantityChoice files;                         // "File quantity"
    bool subFolder = true;                        // chbSubFolders
    bool recycle = true;                          // chbRecycle
    // Icon/BestImage is switched in the Options menu, not on the dialog: it
    // is written back as loaded.
    bool bestImage = false;
    // Icon/Unique is not on the dialog (the Options menu switches it); it is
    // written back as loaded, so OK never turns it off.
    bool unique = false;
    // The Internet page as shown and edited; nothing while the page has not
    // been shown, and then the stored Internet settings are kept.
    std::optional<InternetOptions> internet;

    static constexpr std::int32_t kJpegQualityStart = 86;
    static constexpr std::int32_t kJpegQualityMax = 100;

    // Loads the Icon and File sections, in the dialog's order: "Up to" loaded
    // in one group sets the other to "Automatic", so the last one loaded
    // wins, and a limit's text is loaded only when its "Up to" is then
    // chosen. A Background that is neither a colour name nor a number leaves
    // the colour white, lets everything else load, and is returned as the
    // error text to show.
    std::optional<std::string> load(const ProfileFile& profile);

    // "Up to" chosen in one group sets the other group to "Automatic": at
    // most one of the two limits is on.
    void chooseIconsUpTo();
    void chooseFilesUpTo();

    // Checks every value and then replaces the Icon, File and Internet
    // sections in one write of the file (Icon, File, Internet, each with its
    // keys in the dialog's order). A limit that is not an integer raises
    // "'%s' is not a valid integer value", a proxy port that is no port or a
    // text with a line break raises its own error, and then nothing is
    // written; a failed write raises "Unable to write to %s" and leaves the
    // file as it was.
    void store(const ProfileFile& profile) const;
};

} // namespace vextral::settings
