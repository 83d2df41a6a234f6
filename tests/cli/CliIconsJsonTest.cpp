#include "cli/CliIcons.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using vextral::test::CliResult;
using vextral::test::fixture;
using vextral::test::shellQuote;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

CliResult icons(const std::vector<std::string>& args) { return vextral::test::runCli(vextral::cli::runIcons, args); }

// A name with a newline, a quote, a backslash, a tab, a byte that is no
// UTF-8 and a control byte.
const std::string kAwkwardName = std::string("a\nb\"c\\d\te") + '\xff' + '\x01' + ".ico";

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// An icon file whose one image lies past its end.
std::string brokenIcon()
{
    std::string ico("\0\0\1\0\1\0", 6);
    ico += std::string("\x10\x10\0\0\1\0\x20\0\xe8\x03\0\0\x16\0\0\0", 16);
    return ico;
}

// Reads each line of the JSON listing with Python's own JSON parser, gives
// back each path's bytes through os.fsencode, compares them with the names
// given, and writes the text listing again from what it read: it must be the
// program's own text listing, byte for byte.
const char* const kCheck = R"(
import json, os, sys
def shown(b):
    out = bytearray()
    for c in b:
        if c == 0x5c: out += b'\\\\'
        elif c == 10: out += b'\\n'
        elif c == 9: out += b'\\t'
        elif c == 13: out += b'\\r'
        elif c < 0x20 or c == 0x7f: out += b'\\x%02x' % c
        else: out.append(c)
    return bytes(out)
names = open(sys.argv[1], 'rb').read().split(b'\0')[:-1]
lines = open(sys.argv[2], 'rb').read().decode('utf-8').split('\n')
assert lines[-1] == '', 'no line end at the end'
lines = lines[:-1]
assert len(lines) == len(names), (len(lines), len(names))
text = b''
for name, line in zip(names, lines):
    o = json.loads(line)
    assert os.fsencode(o['path']) == name, (o['path'], name)
    if 'error' in o:
        assert isinstance(o['error'], str) and o['error'] and set(o) == {'path', 'error'}, o
        continue
    assert set(o) == {'path', 'kind', 'skipped', 'icons'}, o
    n = len(o['icons'])
    text += shown(name) + b': %d icon%s' % (n, b'' if n == 1 else b's')
    if o['kind'] is not None: text += b' (' + o['kind'].encode() + b')'
    text += b'\n'
    for s in o['skipped']: text += b'  skipped ' + shown(os.fsencode(s)) + b'\n'
    for i, icon in enumerate(o['icons']):
        assert icon['index'] == i and isinstance(icon['cursor'], bool) and isinstance(icon['usable'], bool)
        t = b'  %d' % i
        if icon['name'] is not None: t += b' ' + shown(os.fsencode(icon['name']))
        if icon['cursor']: t += b' cursor'
        t += b':'
        parts = []
        for im in icon['images']:
            size = b'%dx%dx%d' % (im['width'], im['height'], im['bits'])
            if im.get('unreadable'):
                assert im['unreadable'] is True and 'png' not in im
                parts.append(b'unreadable (listed as ' + size + b')')
            else:
                parts.append(size + (b' png' if im['png'] else b''))
        if parts: t += b' ' + b', '.join(parts)
        if not icon['usable']: t += (b'; ' if parts else b' ') + b'no usable image'
        text += t + b'\n'
want = open(sys.argv[3], 'rb').read()
assert text == want, (text, want)
print('same')
)";

} // namespace

TEST(CliIconsJson, PythonReadsEveryLineAndFindsTheTextListingInIt)
{
    TempDir dir;
    const std::string awkward = (dir / kAwkwardName).string();
    fs::copy_file(fixture("only48.ico"), awkward);
    const std::string broken = (dir / "broken.ico").string();
    writeText(broken, brokenIcon());
    const std::vector<std::string> files = {fixture("icons64.dll").string(),
                                            fixture("cursors32.dll").string(),
                                            fixture("spin.ani").string(),
                                            fixture("garbage.bin").string(),
                                            awkward,
                                            broken,
                                            (dir / "missing\n.dll").string()};
    std::vector<std::string> args = {"--cursors"};
    args.insert(args.end(), files.begin(), files.end());
    const CliResult text = icons(args);
    args.insert(args.begin(), "--json");
    const CliResult json = icons(args);
    EXPECT_EQ(json.status, 1); // as in text mode: one file is missing
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(json.err, text.err);
    EXPECT_NE(text.out.find("unreadable (listed as 16x16x32)"), std::string::npos) << text.out;

    std::string names;
    for (const std::string& f : files) names += f + '\0';
    writeText(dir / "names", names);
    writeText(dir / "json", json.out);
    writeText(dir / "text", text.out);
    writeText(dir / "check.py", kCheck);
    std::string said;
    const int status = vextral::test::runCommand(
        "python3 -X utf8 " + shellQuote((dir / "check.py").string()) + " " + shellQuote((dir / "names").string()) +
            " " + shellQuote((dir / "json").string()) + " " + shellQuote((dir / "text").string()) + " 2>&1",
        &said);
    EXPECT_EQ(status, 0) << said << "\n" << json.out;
    EXPECT_EQ(said, "same\n");
}

TEST(CliIconsJson, SummariesGoToStandardErrorAndTheTextListingEscapesNames)
{
    TempDir dir;
    const std::string awkward = (dir / kAwkwardName).string();
    fs::copy_file(fixture("only48.ico"), awkward);

    const CliResult text = icons({awkward});
    EXPECT_EQ(text.status, 0) << text.err;
    const std::string shown = (dir.path().string() + "/a\\nb\"c\\\\d\\te") + '\xff' + "\\x01.ico";
    EXPECT_EQ(text.out, shown + ": 1 icon (ICO)\n  0: 48x48x8\n");
    const CliResult missing = icons({awkward + "x"});
    EXPECT_EQ(missing.err, "vextral-cli icons: cannot open " + shown + "x: No such file or directory\n");

    // With --images in JSON mode standard output holds the one record alone.
    const CliResult json = icons({"--json", "--images", (dir / "images").string(), fixture("icons64.dll").string()});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.find('\n'), json.out.size() - 1) << json.out;
    EXPECT_EQ(json.out.rfind("{\"path\":", 0), 0u);
    EXPECT_NE(json.err.find("Wrote 9 images to "), std::string::npos) << json.err;
}
