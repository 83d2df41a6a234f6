#include "cli/CliHarvest.h"
#include "cli/CliWeb.h"

#include "TestSupport.h"
#include "codecs/ImageBuffer.h"
#include "export/BestImage.h"
#include "platform/IconExtractor.h"
#include "platform/PictureFile.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

using namespace vextral;
using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string run(test::CliCommand command, const std::vector<std::string>& args, const TempDir& home, int& status)
{
    const test::CliResult r = test::runCliIn(home, command, args);
    status = r.status;
    return r.out + r.err;
}

codecs::Picture loaded(const fs::path& file)
{
    codecs::ImageBuffer buffer;
    platform::loadPicture(buffer, file.string());
    return buffer.picture();
}

// multi.ico's icon at 64 x 64 over white: from its 256 x 256 image, or its
// 32 x 32 picture stretched.
codecs::Picture expected(bool best)
{
    codecs::ImageBuffer buffer;
    if (best) {
        exporting::drawIconPicture(buffer, *exporting::renderBestImage(fixture("multi.ico").string(), 0, 64, 64));
    } else {
        buffer.drawIcon(*platform::extractIcon(fixture("multi.ico").string(), 0));
        buffer.resample(64, 64);
    }
    return buffer.picture();
}

} // namespace

TEST(CliBestImage, HarvestAndWebDrawEachIconsBestImageUnlessClassic)
{
    ASSERT_NE(expected(true).pixels, expected(false).pixels);
    const std::string ico = fixture("multi.ico").string();
    for (const bool classic : {false, true}) {
        TempDir home, saved, gallery;
        std::vector<std::string> harvestArgs {"--save-all", saved.path().string(), "--type", "bmp", "--size", "64x64"};
        std::vector<std::string> webArgs {"--out", gallery.path().string(), "--type", "bmp", "--size", "64x64"};
        if (classic) {
            harvestArgs.push_back("--classic");
            webArgs.push_back("--classic");
        }
        harvestArgs.push_back(ico);
        webArgs.push_back(ico);
        int status = -1;
        const std::string said = run(cli::runHarvest, harvestArgs, home, status);
        ASSERT_EQ(status, 0) << said;
        EXPECT_EQ(loaded(saved / "multi.ico_0.bmp").pixels, expected(!classic).pixels) << classic;
        const std::string webSaid = run(cli::runWeb, webArgs, home, status);
        ASSERT_EQ(status, 0) << webSaid;
        EXPECT_EQ(loaded(gallery / "1.bmp").pixels, expected(!classic).pixels) << classic;
    }

    TempDir home;
    int status = -1;
    EXPECT_NE(run(cli::runHarvest, {"--help"}, home, status).find("--classic"), std::string::npos);
    EXPECT_NE(run(cli::runWeb, {"--help"}, home, status).find("--classic"), std::string::npos);
    // It takes no value.
    run(cli::runHarvest, {"--classic=yes", ico}, home, status);
    EXPECT_EQ(status, 2);
}
