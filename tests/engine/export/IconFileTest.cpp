#include "export/IconFile.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "core/Text.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace vextral;
using namespace vextral::exporting;
using vextral::test::readBytes;
using vextral::test::runCommand;
using vextral::test::shellQuote;
using vextral::test::TempDir;

TEST(IconFile, IconsAreSavedAsTheirSourceHoldsThem)
{
    TempDir dir;
    const std::string dll = test::fixture("icons64.dll").string();
    const auto icon = platform::IconSource::open(dll).icon(0);
    ASSERT_TRUE(icon);
    writeIconFile(*icon, dll, 0, (dir / "a.ico").string());
    EXPECT_EQ(readBytes(dir / "a.ico"), readBytes(test::fixture("multi.ico")));

    // The source is gone: the catalogue's picture is written, 32-bit with alpha.
    writeIconFile(*icon, (dir / "gone.dll").string(), 0, (dir / "b.ico").string());
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote((dir / "b.ico").string()), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=32 --height=32 --bit-depth=32 --palette-size=0\n");
    EXPECT_EQ(*platform::IconSource::open((dir / "b.ico").string()).icon(0), *icon);

    // The source changed since the harvest: what it now holds at that index
    // is not the icon shown, so the icon shown is written, as for a lost file.
    const auto changed = dir / "changed.ico";
    std::filesystem::copy_file(test::fixture("tie.ico"), changed);
    ASSERT_NE(*platform::IconSource::open(changed.string()).icon(0), *icon);
    writeIconFile(*icon, changed.string(), 0, (dir / "c.ico").string());
    EXPECT_EQ(readBytes(dir / "c.ico"), readBytes(dir / "b.ico"));
}

TEST(IconFile, CursorsAreSavedAsIconsWithTheirImages)
{
    TempDir dir;
    for (const char* name : {"arrow.cur", "spin.ani"}) {
        const std::string file = test::fixture(name).string();
        const auto source = platform::IconSource::open(file);
        const auto icon = source.icon(0);
        ASSERT_TRUE(icon) << name;
        const std::string out = (dir / (std::string(name) + ".ico")).string();
        writeIconFile(*icon, file, 0, out);
        const auto saved = platform::IconSource::open(out);
        EXPECT_EQ(saved.kind(), platform::IconFileKind::Ico) << name;
        EXPECT_EQ(*saved.icon(0), *icon) << name;
        // The images are the cursor's own, byte for byte.
        const auto images = saved.images(0), original = source.images(0);
        ASSERT_EQ(images.size(), original.size());
        std::string listing;
        ASSERT_EQ(runCommand("icotool -l " + shellQuote(out), &listing), 0);
        EXPECT_EQ(listing.rfind("--icon ", 0), 0u) << listing;
        EXPECT_NE(listing.find("--bit-depth="), std::string::npos) << listing;
    }
}

namespace {

using codecs::OutputFormat;
using codecs::SaveDialogUser;

// Whether bytes start (or, for TGA, end) the way a file of the format does.
bool looksLike(OutputFormat format, const std::vector<std::uint8_t>& bytes)
{
    const auto starts = [&bytes](std::initializer_list<std::uint8_t> head) {
        return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
    };
    switch (format) {
    case OutputFormat::Bmp: return starts({'B', 'M'});
    case OutputFormat::Jpeg: return starts({0xFF, 0xD8, 0xFF});
    case OutputFormat::Gif: return starts({'G', 'I', 'F', '8'});
    case OutputFormat::Pcx: return starts({0x0A, 5});
    case OutputFormat::Png:
    case OutputFormat::EachImage: return starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    case OutputFormat::Tiff: return starts({'I', 'I', 42, 0});
    case OutputFormat::OriginalIcon:
    case OutputFormat::Ico: return starts({0, 0, 1, 0});
    case OutputFormat::Cur: return starts({0, 0, 2, 0});
    case OutputFormat::Wmf: return starts({0xD7, 0xCD, 0xC6, 0x9A});
    case OutputFormat::Tga: {
        const std::string footer("TRUEVISION-XFILE.\0", 18);
        return bytes.size() > 18 && std::equal(footer.begin(), footer.end(), bytes.end() - 18);
    }
    }
    return false;
}

struct SaveWorld {
    TempDir dir;
    std::string dll = test::fixture("icons64.dll").string();
    Icon icon = *platform::IconSource::open(dll).icon(0);
    OriginalIcon original {icon, dll, 0};
    codecs::ImageBuffer picture;
    SaveWorld() { picture.drawIcon(icon); }
    // What the windows of this user pass: the picture alone, or with its icon.
    const OriginalIcon* originalFor(SaveDialogUser user) const
    {
        return user == SaveDialogUser::MainWindow || user == SaveDialogUser::Editor ? &original : nullptr;
    }
};

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

const SaveDialogUser kUsers[] = {SaveDialogUser::MainWindow, SaveDialogUser::Editor, SaveDialogUser::Converter,
                                 SaveDialogUser::Capture};

} // namespace

TEST(SaveChoice, AnUnknownExtensionIsAnErrorAndWritesNothing)
{
    SaveWorld world;
    for (SaveDialogUser user : kUsers) {
        for (int index = 1; index <= codecs::kSaveFilterCount; ++index) {
            const auto choice = codecs::saveFilterChoice(user, index);
            ASSERT_TRUE(choice);
            const std::string file = (world.dir / "a.xyz").string();
            try {
                writeSaveChoice(world.picture, world.originalFor(user), *choice, file);
                ADD_FAILURE() << static_cast<int>(user) << " entry " << index << ": a.xyz was written";
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()), "Unknown picture file extension (.xyz)") << static_cast<int>(user);
            }
            EXPECT_EQ(namesIn(world.dir.path()), std::vector<std::string> {}) << static_cast<int>(user);
        }
    }
}

TEST(SaveChoice, TheTypedExtensionDecidesAndTheEntryOnlyWithoutOne)
{
    SaveWorld world;
    const auto ico = readBytes(test::fixture("multi.ico"));
    for (SaveDialogUser user : kUsers) {
        for (int index = 1; index <= codecs::kSaveFilterCount; ++index) {
            const auto choice = *codecs::saveFilterChoice(user, index);
            const std::string where = std::to_string(static_cast<int>(user)) + " entry " + std::to_string(index);
            // No extension: the entry's format (the icon itself for "Icon File"
            // where there is one).
            const auto bare = world.dir / ("bare" + std::to_string(index));
            writeSaveChoice(world.picture, world.originalFor(user), choice, bare.string());
            EXPECT_TRUE(looksLike(choice.format, readBytes(bare))) << where;
            if (choice.format == OutputFormat::OriginalIcon) {
                EXPECT_EQ(readBytes(bare), ico) << where;
            }
            // Every extension of the table, in any letter case, writes its own
            // format: "x.png" under "Bmp File" is a PNG file.
            for (const codecs::OutputFormatRow& row : codecs::outputFormats()) {
                if (row.writes != codecs::Writes::Picture) continue;
                const auto file = world.dir / ("x" + std::to_string(index) + "." + upperAscii(row.extension));
                writeSaveChoice(world.picture, world.originalFor(user), choice, file.string());
                const auto bytes = readBytes(file);
                EXPECT_TRUE(looksLike(row.id, bytes)) << where << " " << row.extension;
                // .ico is the icon itself wherever the window has one.
                if (row.id == OutputFormat::Ico && world.originalFor(user)) {
                    EXPECT_EQ(bytes, ico) << where;
                }
            }
        }
    }
    // The original icon's entry for a picture that is no icon: the picture as an icon of the
    // standard sides up to 32, with the classic image of its few colours.
    const auto file = world.dir / "picture.ico";
    writeSaveChoice(world.picture, nullptr, {OutputFormat::OriginalIcon}, file.string());
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(file.string()), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=2 --width=24 --height=24 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=3 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
                       "--icon --index=4 --width=32 --height=32 --bit-depth=32 --palette-size=0\n");
}
