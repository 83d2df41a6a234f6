#include "support/CupsPeer.h"

#include "support/TextFiles.h"
#include "support/Wait.h"

#include <algorithm>
#include <dlfcn.h>

namespace vextral::test {

namespace fs = std::filesystem;

namespace {

// A printer that takes PDF: CUPS runs pdftopdf alone, and the file device
// receives a PDF of the pages sent.
const char* const kPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VEXTRAL.PPD"
*Manufacturer: "Vextral"
*Product: "(Vextral test printer)"
*ModelName: "Vextral PDF file"
*ShortNickName: "Vextral PDF file"
*NickName: "Vextral PDF file"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea Letter/US Letter: "0 0 612 792"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
)PPD";

// The library's own switch of server, when this process has loaded it; the
// library reads CUPS_SERVER only when it first picks one, and keeps it.
void chooseServerAgain()
{
    void* library = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_NOLOAD);
    if (!library) return; // not loaded yet: it will read CUPS_SERVER
    using SetServer = void (*)(const char*);
    if (auto set = reinterpret_cast<SetServer>(::dlsym(library, "cupsSetServer"))) set(nullptr);
    ::dlclose(library);
}

} // namespace

CupsServer::CupsServer()
{
    // Filters run as CUPS's own account (lp when cupsd runs as root), and walk
    // into the spool inside this folder.
    fs::permissions(dir_.path(), fs::perms(0755));
    if (!fs::exists(kProgram)) {
        problem_ = std::string(kProgram) + " is not installed (cups-daemon; tools/install-deps.sh test)";
        return;
    }
    const std::string d = dir_.path().string();
    for (const char* folder : {"conf", "spool", "cache", "state", "tmp", "log"}) fs::create_directories(dir_ / folder);
    port_ = unusedPort();
    // Paths and the file device belong in cups-files.conf: cupsd refuses them
    // in cupsd.conf.
    put(dir_ / "conf" / "cups-files.conf", "ServerRoot " + d + "/conf\nRequestRoot " + d + "/spool\nCacheDir " + d +
                                               "/cache\nStateDir " + d + "/state\nTempDir " + d + "/tmp\nAccessLog " +
                                               d + "/log/access_log\nErrorLog " + d + "/log/error_log\nPageLog " + d +
                                               "/log/page_log\n"
                                               "FileDevice Yes\n");
    // No browsing, no web pages, and every operation allowed without a
    // login: only this test talks to it.
    put(dir_ / "conf" / "cupsd.conf", "Listen 127.0.0.1:" + std::to_string(port_) + "\nListen " + d +
                                          "/cups.sock\n"
                                          "Browsing No\nBrowseLocalProtocols none\nWebInterface No\n"
                                          "LogLevel debug\nMaxLogSize 0\nDefaultAuthType None\n"
                                          "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                                          "</Policy>\n");
    put(dir_ / "vextral.ppd", kPpd);
    cupsd_ = std::make_unique<ServerProgram>(
        std::vector<std::string> {kProgram, "-f", "-c", d + "/conf/cupsd.conf", "-s", d + "/conf/cups-files.conf"},
        port_);
    if (!cupsd_->ready()) {
        problem_ = "cupsd did not start on " + address() + ":\n" + log();
        return;
    }
    std::string out;
    if (client(std::string("lpadmin -p ") + kQueue + " -E -v " + shellQuote("file://" + output().string()) + " -P " +
                   shellQuote(d + "/vextral.ppd"),
               &out) != 0) {
        problem_ = "lpadmin could not make the queue " + std::string(kQueue) + ": " + out + "\n" + log();
        return;
    }
    if (client(std::string("lpstat -p ") + kQueue, &out) != 0 || out.find("enabled") == std::string::npos) {
        problem_ = "the queue " + std::string(kQueue) + " is not enabled: " + out + "\n" + log();
        return;
    }
}

CupsServer::~CupsServer() { cupsd_.reset(); }

int CupsServer::client(const std::string& commandLine, std::string* output) const
{
    return runCommand("CUPS_SERVER=" + shellQuote(address()) + " " + commandLine + " 2>&1", output);
}

std::string CupsServer::completedJobs(int count, std::chrono::milliseconds limit) const
{
    std::string out;
    waitFor(
        [&] {
            out.clear();
            if (client(std::string("lpstat -W completed -o ") + kQueue, &out) != 0) return false;
            return std::count(out.begin(), out.end(), '\n') >= count;
        },
        limit, std::chrono::milliseconds(50));
    return out;
}

std::string CupsServer::log() const
{
    const std::string text = slurp(dir_ / "log" / "error_log");
    const std::size_t keep = 6000;
    return text.size() > keep ? "..." + text.substr(text.size() - keep) : text;
}

UseCupsServer::UseCupsServer(const CupsServer& server)
    : server_(std::make_unique<ScopedEnv>("CUPS_SERVER", server.address()))
{
    chooseServerAgain();
}

UseCupsServer::~UseCupsServer()
{
    server_.reset();
    chooseServerAgain();
}

} // namespace vextral::test
