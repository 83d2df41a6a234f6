#pragma once

#include "desktop/ScreenCapture.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QTimer;

namespace vextral::gui {

// The region picker: a frameless window over the whole screen showing a still
// of it, with the capture square under the pointer. A left click hands over
// that square of the still; Escape (or any other button) cancels.
class CaptureOverlay final : public QWidget {
    Q_OBJECT
public:
    // still is the screen's picture in device pixels; square the capture
    // size in device pixels. report runs once, after the overlay has hidden.
    CaptureOverlay(const QImage& still, QSize square, std::function<void(int status, const QImage& picture)> report);

    // The square that a click now would grab, in the still's pixels.
    QRect captureRect() const { return rect_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void follow(QPointF pointer);
    void finish(int status, const QImage& picture);

    QImage still_;
    QSize square_;
    QRect rect_;
    std::function<void(int, const QImage&)> report_;
    bool finished_ = false;
};

// The program's capture backend: takes a still of the screen the pointer is
// on once the application has got out of the way, and lets the user pick the
// square on a CaptureOverlay. Only the fixed-region mode is offered. Where the
// screen cannot be read (no display, a platform without screen grabbing, a
// still that comes back empty or black) it refuses with a reason.
class OverlayCaptureBackend final : public QObject, public desktop::CaptureBackend {
    Q_OBJECT
public:
    static constexpr int kVersion = 100;
    // The error statuses it reports besides 1 (done) and 0 (cancelled).
    static constexpr int kGrabFailed = 2;

    explicit OverlayCaptureBackend(QObject* parent = nullptr);
    ~OverlayCaptureBackend() override;

    int dllVersion() override { return kVersion; }
    bool startCapture(desktop::CaptureMode mode, Callback callback) override;
    void stopCapture() override;
    void setCaptureProperty(int id, std::int32_t value) override;
    std::string lastError() const override { return lastError_; }

    // The time the application is given to get out of the way before the still is taken.
    void setGrabDelay(int ms) { grabDelay_ = ms; }
    // The overlay while it is up; null otherwise.
    CaptureOverlay* overlay() const { return overlay_; }

private:
    void grabScreen();
    void reportOnce(int status, const codecs::Picture* picture);

    int width_ = 100;
    int height_ = 100;
    int zoom_ = 100;
    int zoomFilter_ = 0;
    int grabDelay_ = 400;
    std::string lastError_;
    Callback callback_;
    QTimer* timer_;
    QPointer<CaptureOverlay> overlay_;
};

// The one capture backend of the program.
desktop::CaptureBackend& overlayCaptureBackend();

// A 24-bit picture of an image (its alpha dropped).
codecs::Picture pictureFromImage(const QImage& image);

} // namespace vextral::gui
