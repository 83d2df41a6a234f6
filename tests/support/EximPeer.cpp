#include "support/EximPeer.h"

#include "support/TextFiles.h"

#include <algorithm>
#include <chrono>
#include <grp.h>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace vextral::test {

namespace fs = std::filesystem;

namespace {

// The account exim delivers as. Exim never delivers as root, so a test run as
// root lends the folders to Debian's exim account; anyone else runs exim as
// themselves.
struct Account {
    std::string user, group;
    uid_t uid = 0;
    gid_t gid = 0;
};

Account deliveryAccount()
{
    Account account;
    const passwd* entry = ::getuid() == 0 ? ::getpwnam("Debian-exim") : ::getpwuid(::getuid());
    if (!entry) return account;
    account.user = entry->pw_name;
    account.uid = entry->pw_uid;
    account.gid = entry->pw_gid;
    const group* g = ::getgrgid(entry->pw_gid);
    account.group = g ? g->gr_name : account.user;
    return account;
}

// One instance's folder: its configuration, spool, logs and Maildir.
std::string configuration(const fs::path& dir, const Account& account, const std::string& ports,
                          const std::string& tlsPorts, const std::string& localDomain, int relayPort, int slowSeconds)
{
    const std::string d = dir.string();
    std::string conf = "primary_hostname = " + localDomain +
                       "\n"
                       "keep_environment =\n"
                       "spool_directory = " +
                       d + "/spool\nlog_file_path = " + d + "/log/%slog\npid_file_path = " + d +
                       "/exim.pid\n"
                       "exim_user = " +
                       account.user + "\nexim_group = " + account.group +
                       "\n"
                       "local_interfaces = 127.0.0.1\ndaemon_smtp_ports = " +
                       ports + "\n";
    if (!tlsPorts.empty()) {
        conf += "tls_on_connect_ports = " + tlsPorts + "\ntls_advertise_hosts = *\ntls_certificate = " + d +
                "/server.pem\ntls_privatekey = " + d +
                "/server.key\n"
                // A login only over a protected connection, as real servers insist.
                "auth_advertise_hosts = ${if eq{$tls_in_cipher}{}{}{*}}\n";
    } else {
        conf += "tls_advertise_hosts =\n";
    }
    conf += "domainlist local_domains = " + localDomain +
            "\n"
            "acl_smtp_rcpt = acl_check_rcpt\nacl_smtp_data = acl_check_data\n"
            "begin acl\n"
            "acl_check_rcpt:\n  accept\n"
            "acl_check_data:\n"
            "  warn condition = ${if match{$h_Subject:}{slow}}\n"
            "       delay = " +
            std::to_string(slowSeconds) +
            "s\n"
            "  accept\n"
            "begin routers\n";
    if (relayPort > 0) {
        conf += "relay:\n  driver = manualroute\n  domains = relay.test\n  transport = remote_smtp\n"
                "  route_list = * 127.0.0.1\n"
                "  self = send\n"; // the relay listens on this machine, at another port
    }
    conf += "local:\n  driver = accept\n  domains = +local_domains\n  transport = maildir\n"
            "begin transports\n";
    if (relayPort > 0) {
        conf += "remote_smtp:\n  driver = smtp\n  port = " + std::to_string(relayPort) +
                "\n"
                "  hosts_avoid_tls = *\n";
    }
    conf += "maildir:\n  driver = appendfile\n  directory = " + d +
            "/Maildir\n  maildir_format\n  create_directory\n"
            "  user = " +
            account.user + "\n  group = " + account.group +
            "\n"
            "begin retry\n* * F,1m,1m\n";
    if (!tlsPorts.empty()) {
        conf += "begin authenticators\n"
                "plain:\n  driver = plaintext\n  public_name = PLAIN\n  server_prompts = :\n"
                "  server_condition = ${if and{{eq{$auth2}{ann}}{eq{$auth3}{secret}}}}\n"
                "  server_set_id = $auth2\n"
                "login:\n  driver = plaintext\n  public_name = LOGIN\n  server_prompts = Username:: : Password::\n"
                "  server_condition = ${if and{{eq{$auth1}{ann}}{eq{$auth2}{secret}}}}\n"
                "  server_set_id = $auth1\n";
    }
    return conf;
}

std::unique_ptr<ServerProgram> start(const fs::path& dir, const Account& account, const std::string& conf, int port)
{
    for (const char* folder : {"spool", "log", "Maildir"}) {
        fs::create_directories(dir / folder);
        if (::chown((dir / folder).c_str(), account.uid, account.gid) != 0) return nullptr;
    }
    fs::permissions(dir, fs::perms(0755));
    put(dir / "exim.conf", conf);
    // -bdf: the daemon in the foreground, so that it is the process stopped.
    return std::make_unique<ServerProgram>(
        std::vector<std::string> {EximServers::kProgram, "-C", (dir / "exim.conf").string(), "-bdf"}, port);
}

} // namespace

bool EximServers::installed() { return fs::exists(kProgram); }

EximServers::EximServers(int slowSeconds)
{
    fs::permissions(dir_.path(), fs::perms(0755)); // exim's delivery account walks into it
    port_ = unusedPort();
    tlsPort_ = unusedPort();
    relayPort_ = unusedPort();
    const Account account = deliveryAccount();
    if (account.user.empty() || !installed()) return;
    relay_ = start(dir_ / "relay", account,
                   configuration(dir_ / "relay", account, std::to_string(relayPort_), "", "relay.test", 0, slowSeconds),
                   relayPort_);
    fs::create_directories(dir_ / "submission");
    if (!makeCertificates(dir_.path(), {"localhost"})) return;
    for (const char* file : {"server.pem", "server.key"}) {
        fs::copy_file(dir_ / file, dir_ / "submission" / file);
        fs::permissions(dir_ / "submission" / file, fs::perms(0644));
    }
    submission_ =
        start(dir_ / "submission", account,
              configuration(dir_ / "submission", account, std::to_string(port_) + " : " + std::to_string(tlsPort_),
                            std::to_string(tlsPort_), "local.test", relayPort_, slowSeconds),
              port_);
}

EximServers::~EximServers()
{
    submission_.reset();
    relay_.reset();
}

bool EximServers::running() const
{
    return relay_ && relay_->ready() && submission_ && submission_->ready() && acceptsConnections(tlsPort_);
}

std::vector<fs::path> EximServers::mails(const std::string& instance, std::size_t count, int limitSeconds) const
{
    const fs::path folder = dir_ / instance / "Maildir" / "new";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    std::vector<fs::path> found;
    for (;;) {
        found.clear();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) found.push_back(entry.path());
        if (found.size() >= count || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<fs::path> EximServers::localMails(std::size_t count, int limitSeconds) const
{
    return mails("submission", count, limitSeconds);
}

std::vector<fs::path> EximServers::relayedMails(std::size_t count, int limitSeconds) const
{
    return mails("relay", count, limitSeconds);
}

std::string EximServers::log() const
{
    std::string text;
    for (const char* instance : {"submission", "relay"})
        for (const char* name : {"mainlog", "rejectlog", "paniclog"}) {
            const fs::path file = dir_ / instance / "log" / name;
            if (fs::exists(file)) text += std::string(instance) + "/" + name + ":\n" + slurp(file);
        }
    return text;
}

} // namespace vextral::test
