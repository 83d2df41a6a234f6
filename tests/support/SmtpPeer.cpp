#include "support/SmtpPeer.h"

#include "net/MoxSmtp.h"
#include "support/Wait.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vextral::test {

SmtpTestServer::SmtpTestServer(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args {dir_.path().string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    server_ = std::make_unique<PythonServer>(supportFile("smtp_test_server.py"), dir_.path(), args);
}

MailRecord SmtpTestServer::mail(int n) const
{
    MailRecord record;
    const std::filesystem::path path = dir_ / ("mail-" + std::to_string(n) + ".txt");
    waitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(3));
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

std::vector<std::filesystem::path> SmtpTestServer::messageFiles() const
{
    std::vector<std::pair<int, std::filesystem::path>> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".eml" && name.rfind("mail-", 0) == 0)
            found.emplace_back(std::stoi(name.substr(5)), entry.path());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::filesystem::path> files;
    for (auto& [number, path] : found) files.push_back(std::move(path));
    return files;
}

std::string SmtpTestServer::logins() const
{
    std::ifstream in(dir_ / "logins.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

SendFailure sendFailure(net::MoxSmtp& smtp, const net::MoxMsg& message)
{
    try {
        smtp.sendMessage(message);
    } catch (const net::SmtpError& e) {
        return {e.what(), e.reason()};
    } catch (const Error& e) {
        return {e.what(), {}};
    }
    return {};
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
