#include "engine/net/SmtpTestServer.h"

#include "net/MoxSmtp.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vextral::test {

SmtpTestServer::SmtpTestServer(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args {dir_.path().string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    server_ = std::make_unique<PythonServer>(netTestFile("smtp_test_server.py"), dir_.path(), args);
}

MailRecord SmtpTestServer::mail(int n) const
{
    MailRecord record;
    const std::filesystem::path path = dir_ / ("mail-" + std::to_string(n) + ".txt");
    for (int i = 0; i < 150 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        const std::size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 2);
        if (key == "helo") record.helo = value;
        if (key == "ehlo") record.ehlo = value == "1";
        if (key == "tls") record.tls = value == "1";
        if (key == "login") record.login = value;
        if (key == "from") record.from = value;
        if (key == "to") record.to.push_back(value);
    }
    std::ostringstream data;
    data << in.rdbuf();
    record.data = data.str();
    return record;
}

int SmtpTestServer::mailCount() const
{
    int count = 0;
    while (std::filesystem::exists(dir_ / ("mail-" + std::to_string(count + 1) + ".txt"))) ++count;
    return count;
}

SmtpEvents::SmtpEvents(net::MoxSmtp& smtp)
{
    smtp.onConnect = [this] { ++connects; };
    smtp.onQuit = [this] { ++quits; };
    smtp.onAfterSend = [this] { ++afterSends; };
    smtp.onError = [this](int code, const std::string& text) { errors.push_back(std::to_string(code) + " " + text); };
    smtp.onSendProgress = [this](int percent) { progress.push_back(percent); };
    smtp.onSendTextToSocket = [this](const std::string& text) { sent.push_back(text); };
    smtp.onReceiveTextFromSocket = [this](const std::string& line) { received.push_back(line); };
}

} // namespace vextral::test
