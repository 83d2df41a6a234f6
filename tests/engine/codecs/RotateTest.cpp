// The image buffer's rotation: its sizes, the quarter turns pixel by pixel,
// and the sheared turns checked against the turn they stand for.
#include "codecs/ImageBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

namespace vextral::codecs {
namespace {

constexpr Bgr kRed {0, 0, 255};
constexpr Bgr kWhiteBgr {255, 255, 255};

// Each pixel's red is its column, its green its row; blue 100 tells it from
// the background.
Picture numbered(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) p.setPixel(x, y, {100, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)});
    }
    return p;
}

Picture turned(const Picture& p, int angle, settings::Colour background = settings::kWhite)
{
    ImageBuffer buffer;
    buffer.setBackground(background);
    buffer.picture() = p;
    buffer.rotate(angle);
    return buffer.picture();
}

std::string size(const Picture& p) { return std::to_string(p.width) + " x " + std::to_string(p.height); }

// Where the pixels of a numbered picture turned by angle lie against an
// exact turn about the centres: how far the whole picture lies off the
// result's centre, and how far, at most, any pixel lies from its exact place
// beyond that. pixels counts the picture's pixels found; -1 when a pixel is
// not one of the picture's. lost holds the source pixels missing.
struct TurnCheck {
    double offCentre = 0;
    double worst = 0;
    int pixels = 0;
    std::vector<std::pair<int, int>> lost;
};
TurnCheck checkTurn(const Picture& source, const Picture& result, int angle)
{
    const double a = angle * std::numbers::pi / 180;
    const double sx0 = (source.width - 1) / 2.0, sy0 = (source.height - 1) / 2.0;
    const double rx0 = (result.width - 1) / 2.0, ry0 = (result.height - 1) / 2.0;
    struct Miss {
        double x, y;
    };
    std::vector<Miss> misses;
    std::vector<bool> seen(static_cast<std::size_t>(source.width * source.height));
    TurnCheck check;
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            const Bgr c = result.pixel(x, y);
            if (c == kWhiteBgr) continue;
            if (c.b != 100 || c.r >= source.width || c.g >= source.height) return {-1, -1, -1, {}};
            ++check.pixels;
            seen[static_cast<std::size_t>(c.g) * static_cast<std::size_t>(source.width) + c.r] = true;
            // Counter-clockwise on the screen, where y grows downwards.
            const double dx = c.r - sx0, dy = c.g - sy0;
            misses.push_back(
                {x - (rx0 + dx * std::cos(a) + dy * std::sin(a)), y - (ry0 - dx * std::sin(a) + dy * std::cos(a))});
        }
    }
    if (misses.empty()) return check;
    double mx = 0, my = 0;
    for (const Miss& m : misses) {
        mx += m.x / static_cast<double>(misses.size());
        my += m.y / static_cast<double>(misses.size());
    }
    check.offCentre = std::hypot(mx, my);
    for (const Miss& m : misses) check.worst = std::max(check.worst, std::hypot(m.x - mx, m.y - my));
    for (int i = 0; i < source.width * source.height; ++i) {
        if (!seen[static_cast<std::size_t>(i)]) check.lost.emplace_back(i % source.width, i / source.width);
    }
    return check;
}

bool isCorner(const Picture& p, std::pair<int, int> at)
{
    return (at.first == 0 || at.first == p.width - 1) && (at.second == 0 || at.second == p.height - 1);
}

TEST(Rotate, QuarterTurnsMovePixelsAndSwapSides)
{
    // a b c        c f       d a
    // d e f   90:  b e  -90: e b
    //              a d       f c
    const Picture p = numbered(3, 2);
    auto at = [](const Picture& q, int x, int y) { return std::make_pair(int(q.pixel(x, y).r), int(q.pixel(x, y).g)); };
    using P = std::pair<int, int>;
    const P a {0, 0}, b {1, 0}, c {2, 0}, d {0, 1}, e {1, 1}, f {2, 1};

    for (int angle : {90, 450, -270}) {
        const Picture ccw = turned(p, angle);
        ASSERT_EQ(size(ccw), "2 x 3") << angle;
        EXPECT_EQ(
            (std::vector<P> {at(ccw, 0, 0), at(ccw, 1, 0), at(ccw, 0, 1), at(ccw, 1, 1), at(ccw, 0, 2), at(ccw, 1, 2)}),
            (std::vector<P> {c, f, b, e, a, d}))
            << angle;
    }
    for (int angle : {-90, 270}) {
        const Picture cw = turned(p, angle);
        ASSERT_EQ(size(cw), "2 x 3") << angle;
        EXPECT_EQ((std::vector<P> {at(cw, 0, 0), at(cw, 1, 0), at(cw, 0, 1), at(cw, 1, 1), at(cw, 0, 2), at(cw, 1, 2)}),
                  (std::vector<P> {d, a, e, b, f, c}))
            << angle;
    }
    for (int angle : {180, -180}) {
        const Picture half = turned(p, angle);
        ASSERT_EQ(size(half), "3 x 2") << angle;
        EXPECT_EQ(at(half, 0, 0), f) << angle;
        EXPECT_EQ(at(half, 2, 1), a) << angle;
    }

    // No turn at all, or whole turns: the picture as it was.
    for (int angle : {0, 360, -360, 720})
        EXPECT_EQ(turned(numbered(5, 4), angle).pixels, numbered(5, 4).pixels) << angle;
    // 45 degrees either way is sheared, not turned a quarter first.
    EXPECT_EQ(size(turned(numbered(40, 10), 45)), "36 x 35");
}

TEST(Rotate, ShearedTurnsGrowThePictureAndKeepEveryPixel)
{
    // 32 x 32 by 30 degrees: 45 x 44 with corners in the background colour.
    const Picture red = turned(numbered(32, 32), 30, 0x000000FF); // clRed
    ASSERT_EQ(size(red), "45 x 44");
    for (auto [x, y] : {std::pair {0, 0}, {44, 0}, {0, 43}, {44, 43}})
        EXPECT_EQ(red.pixel(x, y), kRed) << x << "," << y;

    // Every pixel of the picture is in the result once, near where an exact
    // turn about the centre puts it, for angles either way and beyond a
    // quarter turn. (The outermost shift of the last shear can push one
    // corner pixel just past the edge: at most one corner is lost.)
    // Sizes worked by hand from the shear widths and heights.
    const std::map<int, std::string> sizes = {{30, "45 x 44"},  {-30, "45 x 44"}, {10, "38 x 37"}, {-100, "18 x 26"},
                                              {370, "38 x 37"}, {-45, "46 x 46"}, {135, "46 x 46"}};
    for (const auto& [angle, expected] : sizes) {
        const Picture source = angle == -100 ? numbered(24, 12) : numbered(32, 32);
        const Picture result = turned(source, angle);
        EXPECT_EQ(size(result), expected) << angle;
        const TurnCheck check = checkTurn(source, result, angle);
        EXPECT_EQ(check.pixels + static_cast<int>(check.lost.size()), source.width * source.height) << angle;
        EXPECT_LE(check.lost.size(), 1U) << angle;
        for (auto at : check.lost) EXPECT_TRUE(isCorner(source, at)) << angle;
        EXPECT_LT(check.offCentre, 2.0) << angle; // the growth is not always even on both sides
        EXPECT_LT(check.worst, 1.6) << angle;
        EXPECT_EQ(result.pixel(0, 0), kWhiteBgr) << angle;
    }
    // Halves go to the even neighbour: for 40 x 24 by 30 degrees the shift
    // (47 - 40) x sin 30 is 3.5, which becomes 4, and the picture 49 x 40
    // (in double precision the sine falls just short of a half, which gives
    // 3 and 47 x 42).
    EXPECT_EQ(size(turned(numbered(40, 24), 30)), "49 x 40");

    // 370 degrees is 10.
    EXPECT_EQ(turned(numbered(32, 32), 370).pixels, turned(numbered(32, 32), 10).pixels);

    // Any angle, however large, ends within the limits.
    for (int angle : {2147483647, -2147483647 - 1}) EXPECT_FALSE(turned(numbered(8, 8), angle).empty()) << angle;
}

TEST(Rotate, OtherPictures)
{
    // A 1-bit picture is turned as a 24-bit one.
    ImageBuffer buffer;
    buffer.picture() = Picture::make(8, 2, 1);
    buffer.picture().setBit(0, 0, true);
    buffer.rotate(90);
    EXPECT_EQ(buffer.picture().bits, 24);
    EXPECT_EQ(size(buffer.picture()), "2 x 8");
    EXPECT_EQ(buffer.picture().pixel(0, 7), kWhiteBgr);
    EXPECT_EQ(buffer.picture().pixel(1, 7), (Bgr {0, 0, 0}));

    // An empty picture stays empty; a single pixel turns into a small one.
    buffer.picture() = Picture::make(0, 5);
    buffer.rotate(30);
    EXPECT_TRUE(buffer.picture().empty());
    buffer.picture() = numbered(1, 1);
    buffer.rotate(-20);
    EXPECT_EQ(checkTurn(numbered(1, 1), buffer.picture(), -20).pixels, 1);

    // A turn that would pass the picture limit raises the size error and
    // leaves the picture alone.
    for (auto [w, h] : {std::pair {kMaxPictureSide, 1}, {16300, 300}}) {
        buffer.picture() = Picture::make(w, h);
        try {
            buffer.rotate(45);
            ADD_FAILURE() << w << " x " << h;
        } catch (const std::exception& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("The picture size ")) << e.what();
        }
        EXPECT_EQ(size(buffer.picture()), std::to_string(w) + " x " + std::to_string(h));
    }
}

} // namespace
} // namespace vextral::codecs
