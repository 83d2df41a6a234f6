#include "net/UpdateCheck.h"

#include "core/Error.h"
#include "core/ProductInfo.h"
#include "core/ReplacingFile.h"
#include "core/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vextral::net {

namespace {

constexpr int kDefaultSeconds = 20;
constexpr int kDefaultProxyPort = 8080;
// The release date the update file gives when it names none (written as the
// server of the first release wrote it, without a blank after the comma).
constexpr const char* kDefaultRelease = "May 5,2001";

std::optional<int> portNumber(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int port = std::stoi(text);
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

} // namespace

UpdateConnection UpdateConnection::load(const settings::ProfileFile::Snapshot& ini)
{
    UpdateConnection c;
    std::int32_t seconds = ini.readInteger("Internet", "Connection", kDefaultSeconds);
    if (seconds <= 0) seconds = kDefaultSeconds;
    c.timeLimit = std::chrono::seconds(seconds);

    std::string proxy = ini.readString("Internet", "ProxyIP", " ");
    if (proxy.empty() || !ini.readBool("Internet", "Proxy", false)) return c;
    c.proxyPort = portNumber(ini.readString("Internet", "ProxyPort", "")).value_or(kDefaultProxyPort);
    if (const std::size_t colon = proxy.rfind(':'); colon != std::string::npos) {
        if (auto port = portNumber(proxy.substr(colon + 1))) {
            c.proxyPort = *port;
            proxy.resize(colon);
        }
    }
    c.proxyHost = proxy;
    return c;
}

void writeUpdateFile(const std::string& path, const std::vector<std::string>& bodies)
{
    std::string text;
    for (const std::string& body : bodies) text += body + "\r\n";
    writeFileAtomically(path, text);
}

UpdateInfo readUpdateFile(const std::string& path)
{
    const settings::ProfileFile::Snapshot ini = settings::ProfileFile(path).read();
    UpdateInfo info;
    info.release = ini.readString("Vextral", "Release", kDefaultRelease);
    info.version = ini.readString("Vextral", "version", product::kVersion);
    info.location = ini.readString("Vextral", "Location", product::kDownloadLocation);
    return info;
}

bool isWebAddress(const std::string& location)
{
    const std::string lower = lowerAscii(location);
    std::size_t start = 0;
    if (lower.starts_with("http://")) {
        start = 7;
    } else if (lower.starts_with("https://")) {
        start = 8;
    } else {
        return false;
    }
    for (char c : location) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return false;
    }
    const std::size_t end = location.find_first_of("/?#", start);
    return (end == std::string::npos ? location.size() : end) > start;
}

UpdateCheck::UpdateCheck(std::string programFolder, const UpdateConnection& connection, Pump pump)
    : folder_(std::move(programFolder)), client_(std::move(pump))
{
    client_.timeLimit = connection.timeLimit;
    client_.proxyHost = connection.proxyHost;
    client_.proxyPort = connection.proxyPort;
}

std::string UpdateCheck::updateFilePath() const
{
    if (folder_.empty() || folder_.back() == '/') return folder_ + kUpdateFileName;
    return folder_ + "/" + kUpdateFileName;
}

bool holdsUpdateSection(const std::string& body)
{
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && lowerAscii(line.substr(first)) == "[vextral]") return true;
        start = end + 1;
    }
    return false;
}

UpdateInfo UpdateCheck::check(const std::string& url)
{
    const HttpResponse response = client_.get(url);
    if (response.status != 200) {
        std::string text = "The update server answered " + std::to_string(response.status);
        if (!response.reason.empty()) text += " " + response.reason;
        throw Error(text + ".");
    }
    if (!holdsUpdateSection(response.body)) throw Error("The answer holds no version information.");
    bodies_.push_back(response.body);
    const std::string path = updateFilePath();
    try {
        writeUpdateFile(path, bodies_);
    } catch (...) {
        bodies_.pop_back();
        throw;
    }
    // The values of this answer, not those of an earlier one the file also holds.
    const std::string own = path + ".last";
    writeUpdateFile(own, {response.body});
    UpdateInfo info = readUpdateFile(own);
    std::remove(own.c_str());
    return info;
}

} // namespace vextral::net
