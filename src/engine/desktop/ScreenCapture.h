#pragma once

#include "codecs/Picture.h"
#include "settings/ColourNames.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vextral::desktop {

enum class CaptureMode { tcmWindow, tcmFreeRegion, tcmFixedRegion };
enum class ZoomFilter { tzfNone, tzfTriangle, tzfHermite, tzfBell, tzfBSpline, tzfLanczos3, tzfMitchell };
enum class ImageShape { tisRectangle, tisRoundRect, tisEllipse, tisRightPaperEgde, tisLeftPaperEgde, tisAutoShape };
enum class ImageFader {
    tifNone,
    tifSoftBorder,
    tifLeft,
    tifTopLeft,
    tifTop,
    tifTopRight,
    tifRight,
    tifBottomRight,
    tifBottom,
    tifBottomLeft
};
enum class Sparkle { tsNone, tsTwinkle, tsHotMouseAction, tsSoftClick, tsDoubleClick };

// The ids of the capture properties a backend is told before each capture.
namespace captureProperty {
constexpr int kReset = 0, kWidth = 1, kHeight = 2, kBackground = 3, kZoom = 4, kZoomFilter = 5, kIncludeCursor = 6,
              kSparkle = 7, kImageShadow = 8, kCursorShadow = 9, kShadowColor = 10, kShadowDirection = 11,
              kShadowOffset = 12, kShadowIntensity = 13, kShadowDither = 14, kShape = 15, kFader = 16, kSounds = 17;
}

// What picks the region and grabs it. A started capture goes on inside the
// backend, which reports its end once through the callback: status 1 with the
// picture when it is done, 0 when the user cancelled, anything else for an
// error. The picture is only valid during the call.
class CaptureBackend {
public:
    using Callback = std::function<void(int status, const codecs::Picture* bitmap)>;

    virtual ~CaptureBackend() = default;
    // The backend's version times 100.
    virtual int dllVersion() = 0;
    // True when a capture has started.
    virtual bool startCapture(CaptureMode mode, Callback callback) = 0;
    // Ends a capture under way without reporting it; nothing when none is.
    virtual void stopCapture() = 0;
    virtual void setCaptureProperty(int id, std::int32_t value) = 0;
    // Why the last start was refused or the last capture failed, for the
    // user; empty when there is nothing to say.
    virtual std::string lastError() const { return {}; }
};

// The screen-capture component: its properties with their ranges, and the
// start / stop / callback contract over a backend. Without a backend (the
// capture library is missing) every operation does nothing.
class ScreenCapture {
public:
    // screenWidth x screenHeight bounds the capture size.
    ScreenCapture(CaptureBackend* backend, int screenWidth, int screenHeight);
    ~ScreenCapture();
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    // Properties without a range.
    bool applicationMinimize = true;
    CaptureMode captureMode = CaptureMode::tcmWindow;
    settings::Colour backgroundColor = settings::kWhite;
    ImageShape shape = ImageShape::tisRectangle;
    ImageFader fader = ImageFader::tifNone;
    Sparkle sparkle = Sparkle::tsNone;
    bool includeCursor = false;
    bool cursorShadow = false;
    bool imageShadow = false;
    settings::Colour shadowColor = 0x00000000; // black
    bool soundsEnabled = true;
    ZoomFilter zoomFilter = ZoomFilter::tzfNone;

    // Properties with a range: a value outside it leaves the old one.
    int captureWidth() const { return captureWidth_; }
    int captureHeight() const { return captureHeight_; }
    void setCaptureWidth(int width);   // 1 to the screen's width
    void setCaptureHeight(int height); // 1 to the screen's height
    int zoom() const { return zoom_; }
    // Also picks the filter: tzfLanczos3 below 100, tzfNone at 100, tzfBSpline above.
    void setZoom(int zoom); // 0 to 65535
    int shadowIntensity() const { return shadowIntensity_; }
    void setShadowIntensity(int value); // 0 to 100
    int shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(int value); // 0 to 100
    int shadowDirection() const { return shadowDirection_; }
    void setShadowDirection(int value); // 0 to 359
    int shadowDither() const { return shadowDither_; }
    void setShadowDither(int value); // 0 to 20

    // The application getting out of the way while a capture runs, and coming back.
    std::function<void()> minimizeApplication;
    std::function<void()> restoreApplication;
    std::function<void()> onCaptureStart;
    std::function<void(const codecs::Picture&)> onCaptureSuccess;
    std::function<void(int status)> onCaptureError;
    std::function<void()> onUserCancelled;

    // Sends the properties and starts a capture; true when the backend started
    // one, false when there is no backend or it refused without a word.
    // Throws vextral::Error with the backend's reason when it refused with one
    // (the application is restored first).
    bool startCapture();
    void stopCapture();
    // The user brought the application back while a capture was under way: it ends.
    void applicationRestored();
    // "(DLL not found!)" without a backend, else its version as "1.00".
    std::string version() const;
    // True from a successful start until the capture reports or is stopped.
    bool capturing() const { return capturing_; }

private:
    void sendProperties();
    void report(int status, const codecs::Picture* bitmap);
    void restore();

    CaptureBackend* backend_;
    int screenWidth_, screenHeight_;
    int captureWidth_ = 100;
    int captureHeight_ = 100;
    int zoom_ = 100;
    int shadowIntensity_ = 50;
    int shadowOffset_ = 4;
    int shadowDirection_ = 315;
    int shadowDither_ = 5;
    bool minimized_ = false;
    bool capturing_ = false;
    // Lets a callback arriving after this object is gone do nothing.
    std::shared_ptr<ScreenCapture*> self_;
};

} // namespace vextral::desktop
