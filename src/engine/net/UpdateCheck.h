#pragma once

#include "net/HttpClient.h"
#include "settings/ProfileFile.h"

#include <chrono>
#include <string>
#include <vector>

namespace vextral::net {

// The update file beside the program: every body fetched by one check
// dialog, each followed by CR LF.
constexpr const char* kUpdateFileName = "update.ini";

// What the update file names in its "Vextral" section, or the defaults: the
// program's own version and release date, and its download page.
struct UpdateInfo {
    std::string version;
    std::string release;
    std::string location;
};

// How the update check reaches the server, from the Internet section of
// Option.ini: "Connection" seconds for each wait (20 when missing, not a
// number or not positive), and the proxy when "Use proxy" is on and ProxyIP
// names one. The proxy's port is a ":port" in ProxyIP, else ProxyPort, else
// 8080.
struct UpdateConnection {
    std::chrono::milliseconds timeLimit {20000};
    std::string proxyHost; // empty: a direct connection
    int proxyPort = 8080;

    static UpdateConnection load(const settings::ProfileFile::Snapshot& ini);
};

// Replaces the file at path with the bodies, each followed by CR LF. Raises
// "Cannot create file <path>: <reason>" when it cannot be written; the file
// then keeps what it held.
void writeUpdateFile(const std::string& path, const std::vector<std::string>& bodies);
// Reads version, release date and location from the update file through the
// settings file reader (the first "Vextral" section counts).
UpdateInfo readUpdateFile(const std::string& path);

// True for an http or https address with a host: the only kind of download
// location the program hands to the desktop to open, since it comes from a
// server nobody vouches for.
bool isWebAddress(const std::string& location);
// Whether body has a "[Vextral]" section line (any letter case).
bool holdsUpdateSection(const std::string& body);

// One check dialog's fetches. Each check fetches url, keeps its body with
// those of the earlier checks, rewrites the update file with all of them and
// reads this answer's values. A failed fetch raises its error and changes
// nothing; so does an answer other than 200 ("The update server answered 404
// Not Found.") and a body without a "Vextral" section ("The answer holds no
// version information."): the update file stays as it was.
class UpdateCheck {
public:
    UpdateCheck(std::string programFolder, const UpdateConnection& connection, Pump pump = {});

    UpdateInfo check(const std::string& url);
    const std::vector<std::string>& bodies() const { return bodies_; }
    std::string updateFilePath() const;
    // Stops a check under way at its next wait (the dialog is closing).
    void cancel() { client_.cancel(); }

private:
    std::string folder_;
    HttpClient client_;
    std::vector<std::string> bodies_;
};

} // namespace vextral::net
