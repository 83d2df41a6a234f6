// The screen-capture component over a scripted backend: what it tells the
// backend before a capture, its ranges, and what each way a capture ends does.
#include "desktop/ScreenCapture.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

using namespace vextral;
using namespace vextral::desktop;

namespace {

// Records every call and answers start as told; the test reports the end.
struct ScriptedBackend final : CaptureBackend {
    std::vector<std::string> calls;
    std::vector<std::pair<int, int>> properties;
    bool acceptStart = true;
    Callback callback;
    CaptureMode mode {};

    int dllVersion() override { return 123; }
    bool startCapture(CaptureMode m, Callback cb) override
    {
        calls.push_back("start");
        mode = m;
        if (acceptStart) callback = std::move(cb);
        return acceptStart;
    }
    void stopCapture() override { calls.push_back("stop"); }
    std::string refusal;
    std::string lastError() const override { return refusal; }
    void setCaptureProperty(int id, std::int32_t value) override
    {
        if (calls.empty() || calls.back() != "properties") calls.push_back("properties");
        properties.emplace_back(id, value);
    }
};

// The order of what the component does, as a string of the calls and hooks.
struct Journal {
    std::vector<std::string> events;
    void attach(ScreenCapture& capture)
    {
        capture.minimizeApplication = [this] { events.push_back("minimize"); };
        capture.restoreApplication = [this] { events.push_back("restore"); };
        capture.onCaptureStart = [this] { events.push_back("start event"); };
        capture.onCaptureSuccess = [this](const codecs::Picture& p) {
            events.push_back("success " + std::to_string(p.width) + "x" + std::to_string(p.height));
        };
        capture.onCaptureError = [this](int status) { events.push_back("error " + std::to_string(status)); };
        capture.onUserCancelled = [this] { events.push_back("cancelled"); };
    }
};

codecs::Picture square(int side)
{
    codecs::Picture p = codecs::Picture::make(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            p.setPixel(x, y, {static_cast<std::uint8_t>(x * 7), 20, static_cast<std::uint8_t>(y * 5)});
    return p;
}

} // namespace

TEST(ScreenCapture, SendsEveryPropertyInItsOrderBeforeEachStart)
{
    ScriptedBackend backend;
    ScreenCapture capture(&backend, 1024, 768);
    capture.setCaptureWidth(33);
    capture.setCaptureHeight(17);
    capture.backgroundColor = 0x00123456;
    capture.shadowColor = 0x000000FF; // red
    capture.setZoom(250);
    capture.includeCursor = true;
    capture.sparkle = Sparkle::tsSoftClick;
    capture.shape = ImageShape::tisAutoShape;
    capture.fader = ImageFader::tifTopLeft;
    capture.cursorShadow = true;
    capture.setShadowDirection(200);
    capture.setShadowOffset(9);
    capture.setShadowIntensity(70);
    capture.setShadowDither(3);
    capture.soundsEnabled = false;
    capture.captureMode = CaptureMode::tcmFixedRegion;
    ASSERT_TRUE(capture.startCapture());
    EXPECT_EQ(backend.mode, CaptureMode::tcmFixedRegion);
    const std::vector<std::pair<int, int>> expected = {{0, 0},    {3, 0x123456}, {4, 250}, {5, 4},    {1, 33}, {2, 17},
                                                       {6, 1},    {7, 3},        {15, 99}, {16, 135}, {8, 0},  {9, 1},
                                                       {10, 255}, {11, 200},     {12, 9},  {13, 70},  {14, 3}, {17, 0}};
    EXPECT_EQ(backend.properties, expected);
    // Stop first, then the properties, then the start.
    EXPECT_EQ(backend.calls, (std::vector<std::string> {"stop", "properties", "start"}));

    // The shapes and faders other than those above.
    const std::pair<ImageFader, int> faders[] = {
        {ImageFader::tifNone, 1},          {ImageFader::tifSoftBorder, 2}, {ImageFader::tifLeft, 180},
        {ImageFader::tifTop, 90},          {ImageFader::tifTopRight, 45},  {ImageFader::tifRight, 0},
        {ImageFader::tifBottomRight, 315}, {ImageFader::tifBottom, 270},   {ImageFader::tifBottomLeft, 225}};
    for (const auto& [fader, value] : faders) {
        backend.properties.clear();
        capture.fader = fader;
        capture.shape = ImageShape::tisLeftPaperEgde;
        capture.startCapture();
        ASSERT_EQ(backend.properties.size(), 18u);
        EXPECT_EQ(backend.properties[9], std::make_pair(16, value));
        EXPECT_EQ(backend.properties[8], std::make_pair(15, 4));
    }
}

TEST(ScreenCapture, DefaultsRangesAndZoomFilters)
{
    ScriptedBackend backend;
    ScreenCapture capture(&backend, 1024, 768);
    EXPECT_TRUE(capture.applicationMinimize);
    EXPECT_EQ(capture.captureMode, CaptureMode::tcmWindow);
    EXPECT_EQ(capture.backgroundColor, settings::kWhite);
    EXPECT_EQ(capture.shadowColor, 0u);
    EXPECT_EQ(capture.captureWidth(), 100);
    EXPECT_EQ(capture.captureHeight(), 100);
    EXPECT_EQ(capture.zoom(), 100);
    EXPECT_EQ(capture.zoomFilter, ZoomFilter::tzfNone);
    EXPECT_EQ(capture.shadowIntensity(), 50);
    EXPECT_EQ(capture.shadowOffset(), 4);
    EXPECT_EQ(capture.shadowDirection(), 315);
    EXPECT_EQ(capture.shadowDither(), 5);
    EXPECT_TRUE(capture.soundsEnabled);
    EXPECT_FALSE(capture.includeCursor || capture.cursorShadow || capture.imageShadow);
    EXPECT_EQ(capture.version(), "1.23");

    // The capture size: above 0 and within the screen, else the old value stays.
    for (int w : {0, -5, 1025}) capture.setCaptureWidth(w);
    for (int h : {0, -1, 769}) capture.setCaptureHeight(h);
    EXPECT_EQ(capture.captureWidth(), 100);
    EXPECT_EQ(capture.captureHeight(), 100);
    capture.setCaptureWidth(1024);
    capture.setCaptureHeight(768);
    EXPECT_EQ(capture.captureWidth(), 1024);
    EXPECT_EQ(capture.captureHeight(), 768);
    capture.setCaptureWidth(1);
    EXPECT_EQ(capture.captureWidth(), 1);

    capture.setShadowIntensity(101);
    capture.setShadowOffset(101);
    capture.setShadowDirection(360);
    capture.setShadowDither(21);
    EXPECT_EQ(capture.shadowIntensity(), 50);
    EXPECT_EQ(capture.shadowOffset(), 4);
    EXPECT_EQ(capture.shadowDirection(), 315);
    EXPECT_EQ(capture.shadowDither(), 5);
    capture.setShadowIntensity(100);
    capture.setShadowOffset(0);
    capture.setShadowDirection(359);
    capture.setShadowDither(20);
    EXPECT_EQ(capture.shadowIntensity(), 100);
    EXPECT_EQ(capture.shadowOffset(), 0);
    EXPECT_EQ(capture.shadowDirection(), 359);
    EXPECT_EQ(capture.shadowDither(), 20);

    const std::pair<int, ZoomFilter> zooms[] = {{50, ZoomFilter::tzfLanczos3}, {99, ZoomFilter::tzfLanczos3},
                                                {100, ZoomFilter::tzfNone},    {101, ZoomFilter::tzfBSpline},
                                                {200, ZoomFilter::tzfBSpline}, {0, ZoomFilter::tzfLanczos3}};
    for (const auto& [zoom, filter] : zooms) {
        capture.zoomFilter = ZoomFilter::tzfMitchell;
        capture.setZoom(zoom);
        EXPECT_EQ(capture.zoom(), zoom);
        EXPECT_EQ(capture.zoomFilter, filter) << zoom;
    }
}

TEST(ScreenCapture, EachEndOfACaptureRestoresTheApplicationAndFiresItsEvent)
{
    ScriptedBackend backend;
    ScreenCapture capture(&backend, 1024, 768);
    Journal journal;
    journal.attach(capture);
    const codecs::Picture picture = square(33);

    // Success: the event with the picture.
    ASSERT_TRUE(capture.startCapture());
    EXPECT_TRUE(capture.capturing());
    backend.callback(1, &picture);
    EXPECT_FALSE(capture.capturing());
    EXPECT_EQ(journal.events, (std::vector<std::string> {"minimize", "start event", "restore", "success 33x33"}));

    // Cancelled, an error status, and status 1 without a picture.
    for (const auto& [status, withPicture, event] :
         {std::tuple {0, false, "cancelled"}, std::tuple {5, false, "error 5"}, std::tuple {2, true, "error 2"},
          std::tuple {1, false, "error 1"}}) {
        journal.events.clear();
        capture.startCapture();
        backend.callback(status, withPicture ? &picture : nullptr);
        EXPECT_EQ(journal.events, (std::vector<std::string> {"minimize", "start event", "restore", event})) << event;
    }

    // Without ApplicationMinimize the application stays as it is.
    journal.events.clear();
    capture.applicationMinimize = false;
    capture.startCapture();
    backend.callback(0, nullptr);
    EXPECT_EQ(journal.events, (std::vector<std::string> {"start event", "cancelled"}));
}

TEST(ScreenCapture, RefusedStartRestoresRestoringByHandStopsAndNoBackendDoesNothing)
{
    ScriptedBackend backend;
    Journal journal;
    {
        ScreenCapture capture(&backend, 800, 600);
        journal.attach(capture);
        backend.acceptStart = false;
        EXPECT_FALSE(capture.startCapture());
        EXPECT_FALSE(capture.capturing());
        EXPECT_EQ(journal.events, (std::vector<std::string> {"minimize", "start event", "restore"}));

        // A refusal with a reason is an error with that text, after the restore.
        journal.events.clear();
        backend.refusal = "Cannot capture the screen: no display";
        try {
            capture.startCapture();
            ADD_FAILURE() << "no error";
        } catch (const vextral::Error& e) {
            EXPECT_STREQ(e.what(), "Cannot capture the screen: no display");
        }
        EXPECT_FALSE(capture.capturing());
        EXPECT_EQ(journal.events, (std::vector<std::string> {"minimize", "start event", "restore"}));
        backend.refusal.clear();

        // The user brings the application back during a capture: the backend stops it.
        backend.acceptStart = true;
        backend.calls.clear();
        ASSERT_TRUE(capture.startCapture());
        capture.applicationRestored();
        EXPECT_EQ(backend.calls, (std::vector<std::string> {"stop", "properties", "start", "stop"}));
        EXPECT_FALSE(capture.capturing());
        capture.applicationRestored(); // once only
        EXPECT_EQ(backend.calls.size(), 4u);

        // Gone with a capture under way: stopped, and a late report reaches nothing.
        capture.startCapture();
        backend.calls.clear();
    }
    EXPECT_EQ(backend.calls, (std::vector<std::string> {"stop"}));
    journal.events.clear();
    const codecs::Picture picture = square(4);
    backend.callback(1, &picture);
    EXPECT_TRUE(journal.events.empty());

    // The capture library missing: nothing happens at all.
    ScreenCapture none(nullptr, 800, 600);
    journal.attach(none);
    EXPECT_EQ(none.version(), "(DLL not found!)");
    EXPECT_FALSE(none.startCapture());
    none.stopCapture();
    none.applicationRestored();
    EXPECT_TRUE(journal.events.empty());
}
