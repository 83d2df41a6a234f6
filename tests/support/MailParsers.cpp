#include "support/MailParsers.h"

#include "TestSupport.h"

#include <sstream>

namespace vextral::test {

namespace {

std::string unhex(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

// One value per line, each in hex (an empty line for an empty value), the
// names of To and CC on one line separated by blanks.
const char* const kScript = R"(
import sys, email, email.policy, email.header, email.utils
raw = open(sys.argv[1], 'rb').read()
h = lambda s: (s if isinstance(s, bytes) else (s or '').encode('utf-8')).hex()
long = [l for l in raw.replace(b'\r\n', b'\n').split(b'\n') if len(l) > 998]
m = email.message_from_bytes(raw, policy=email.policy.default)
addresses = list(m['to'].addresses) + (list(m['cc'].addresses) if m['cc'] else [])
print(' '.join(h(a.display_name) or '-' for a in addresses))
print(h(str(m['subject'])))
parts = list(m.iter_parts()) if m.is_multipart() else [m]
print(h(parts[0].get_content()))
print(h(parts[1].get_filename() if len(parts) > 1 else ''))
print(h(parts[1].get_content() if len(parts) > 1 else b''))
print(h(long[0] if long else b''))
old = email.message_from_bytes(raw)
names = lambda v: str(email.header.make_header(email.header.decode_header(v))) if v else ''
print(h(names(old['to'])))
print(h(names(old['cc'])))
oldParts = old.get_payload() if old.is_multipart() else [old]
print(h(oldParts[0].get_payload(decode=True).decode(oldParts[0].get_content_charset())))
if len(oldParts) > 1:
    print(h(email.utils.collapse_rfc2231_value(oldParts[1].get_param('filename', header='content-disposition'))))
    print(h(names(oldParts[1].get_param('name'))))
else:
    print(h(''))
    print(h(''))
)";

} // namespace

ParsedMail parseMail(const std::filesystem::path& file)
{
    ParsedMail mail;
    std::string output;
    if (runCommand("/usr/bin/python3 -c " + shellQuote(kScript) + " " + shellQuote(file.string()) + " 2>&1", &output) !=
        0) {
        mail.error = output;
        return mail;
    }
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() != 11) {
        mail.error = output;
        return mail;
    }
    std::istringstream names(lines[0]);
    for (std::string name; names >> name;) mail.displayNames.push_back(name == "-" ? "" : unhex(name));
    mail.subject = unhex(lines[1]);
    mail.text = unhex(lines[2]);
    mail.fileName = unhex(lines[3]);
    mail.attachment = unhex(lines[4]);
    mail.lineTooLong = unhex(lines[5]);
    mail.oldTo = unhex(lines[6]);
    mail.oldCc = unhex(lines[7]);
    mail.oldText = unhex(lines[8]);
    mail.oldFileName = unhex(lines[9]);
    mail.oldName = unhex(lines[10]);
    mail.parsed = true;
    return mail;
}

std::string longParagraph()
{
    std::string paragraph;
    while (paragraph.size() < 1500)
        paragraph += "Gr\xc3\xbc\xc3\x9f"
                     "e = 100% ic\xc3\xb4nes,  tab\tend. ";
    return paragraph;
}

} // namespace vextral::test
