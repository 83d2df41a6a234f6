#include "desktop/ScreenCapture.h"

#include "core/Error.h"

#include <cstdio>

namespace vextral::desktop {

namespace {

// The value a fader is sent as: the direction of its fade in degrees, 1 for
// none and 2 for a soft border.
int faderValue(ImageFader fader)
{
    switch (fader) {
    case ImageFader::tifNone: return 1;
    case ImageFader::tifSoftBorder: return 2;
    case ImageFader::tifLeft: return 180;
    case ImageFader::tifTopLeft: return 135;
    case ImageFader::tifTop: return 90;
    case ImageFader::tifTopRight: return 45;
    case ImageFader::tifRight: return 0;
    case ImageFader::tifBottomRight: return 315;
    case ImageFader::tifBottom: return 270;
    case ImageFader::tifBottomLeft: return 225;
    }
    return 1;
}

template <typename E>
int ordinal(E e)
{
    return static_cast<int>(e);
}

} // namespace

ScreenCapture::ScreenCapture(CaptureBackend* backend, int screenWidth, int screenHeight)
    : backend_(backend), screenWidth_(screenWidth), screenHeight_(screenHeight),
      self_(std::make_shared<ScreenCapture*>(this))
{}

ScreenCapture::~ScreenCapture()
{
    if (capturing_ && backend_) backend_->stopCapture();
}

void ScreenCapture::setCaptureWidth(int width)
{
    if (width > 0 && width <= screenWidth_) captureWidth_ = width;
}

void ScreenCapture::setCaptureHeight(int height)
{
    if (height > 0 && height <= screenHeight_) captureHeight_ = height;
}

void ScreenCapture::setZoom(int zoom)
{
    if (zoom < 0 || zoom > 0xFFFF) return;
    zoom_ = zoom;
    zoomFilter = zoom < 100 ? ZoomFilter::tzfLanczos3 : zoom == 100 ? ZoomFilter::tzfNone : ZoomFilter::tzfBSpline;
}

void ScreenCapture::setShadowIntensity(int value)
{
    if (value >= 0 && value <= 100) shadowIntensity_ = value;
}

void ScreenCapture::setShadowOffset(int value)
{
    if (value >= 0 && value <= 100) shadowOffset_ = value;
}

void ScreenCapture::setShadowDirection(int value)
{
    if (value >= 0 && value < 360) shadowDirection_ = value;
}

void ScreenCapture::setShadowDither(int value)
{
    if (value >= 0 && value <= 20) shadowDither_ = value;
}

void ScreenCapture::sendProperties()
{
    using namespace captureProperty;
    auto send = [this](int id, std::int32_t value) { backend_->setCaptureProperty(id, value); };
    send(kReset, 0);
    send(kBackground, static_cast<std::int32_t>(backgroundColor));
    send(kZoom, zoom_);
    send(kZoomFilter, ordinal(zoomFilter));
    send(kWidth, captureWidth_);
    send(kHeight, captureHeight_);
    send(kIncludeCursor, includeCursor ? 1 : 0);
    send(kSparkle, ordinal(sparkle));
    send(kShape, shape == ImageShape::tisAutoShape ? 99 : ordinal(shape));
    send(kFader, faderValue(fader));
    send(kImageShadow, imageShadow ? 1 : 0);
    send(kCursorShadow, cursorShadow ? 1 : 0);
    send(kShadowColor, static_cast<std::int32_t>(shadowColor));
    send(kShadowDirection, shadowDirection_);
    send(kShadowOffset, shadowOffset_);
    send(kShadowIntensity, shadowIntensity_);
    send(kShadowDither, shadowDither_);
    send(kSounds, soundsEnabled ? 1 : 0);
}

bool ScreenCapture::startCapture()
{
    if (!backend_) return false;
    backend_->stopCapture();
    capturing_ = false;
    sendProperties();
    if (applicationMinimize) {
        minimized_ = true;
        if (minimizeApplication) minimizeApplication();
    }
    if (onCaptureStart) onCaptureStart();
    std::weak_ptr<ScreenCapture*> alive = self_;
    const bool started = backend_->startCapture(captureMode, [alive](int status, const codecs::Picture* bitmap) {
        if (const auto self = alive.lock()) (*self)->report(status, bitmap);
    });
    if (!started) {
        restore();
        const std::string why = backend_->lastError();
        if (!why.empty()) throw Error(why);
        return false;
    }
    capturing_ = true;
    return true;
}

void ScreenCapture::stopCapture()
{
    if (!backend_) return;
    backend_->stopCapture();
    capturing_ = false;
}

void ScreenCapture::applicationRestored()
{
    if (!minimized_) return;
    minimized_ = false;
    stopCapture();
}

void ScreenCapture::restore()
{
    if (!minimized_) return;
    minimized_ = false;
    if (restoreApplication) restoreApplication();
}

void ScreenCapture::report(int status, const codecs::Picture* bitmap)
{
    capturing_ = false;
    restore();
    if (status == 0) {
        if (onUserCancelled) onUserCancelled();
        return;
    }
    // A finished capture without a picture is a failure too, not a success
    // with nothing in it.
    if (status != 1 || !bitmap || bitmap->empty()) {
        if (onCaptureError) onCaptureError(status);
        return;
    }
    const codecs::Picture picture = *bitmap;
    if (onCaptureSuccess) onCaptureSuccess(picture);
}

std::string ScreenCapture::version() const
{
    if (!backend_) return "(DLL not found!)";
    // Two decimals with a point whatever the locale says.
    const long long v = backend_->dllVersion();
    const unsigned long long a = static_cast<unsigned long long>(v < 0 ? -v : v);
    char text[40];
    std::snprintf(text, sizeof text, "%s%llu.%02llu", v < 0 ? "-" : "", a / 100, a % 100);
    return text;
}

} // namespace vextral::desktop
