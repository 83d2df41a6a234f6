// vextral_mail_child PORT CAFILE FILE: sends one mail with FILE attached to
// exim's submission server on 127.0.0.1:PORT (STARTTLS, logged in as the
// test account, the certificate checked against CAFILE), as the mail dialog
// does, and exits 0 when the server took it; else prints the error and
// exits 1. A process of its own, so that a test can measure its peak memory:
// it writes its peak resident size (VmHWM, in kB) on standard output.
#include "net/MoxSmtp.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) return 2;
    ::setenv("SSL_CERT_FILE", argv[2], 1);
    using namespace vextral::net;
    MoxSmtp smtp;
    smtp.host = "localhost";
    smtp.port = argv[1];
    smtp.security = SmtpSecurity::StartTls;
    smtp.userName = "ann";
    smtp.password = "secret";
    smtp.timeOut = 20000;
    MoxMsg msg;
    msg.from = "ann@local.test";
    msg.sendTo = "bob@local.test";
    msg.subject = "A large attachment";
    msg.text = {"The icons."};
    msg.attachedFiles.add(argv[3]);
    try {
        smtp.connect();
        smtp.sendMessage(msg);
    } catch (const SmtpError& e) {
        std::fprintf(stderr, "%s %s\n", e.what(), e.reason().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    smtp.quit();
    // The process's own high-water mark: a parent's rusage would count the
    // memory of the process that spawned it.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) std::printf("%lld\n", std::atoll(line.c_str() + 6));
    return 0;
}
