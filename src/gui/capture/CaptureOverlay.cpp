#include "gui/capture/CaptureOverlay.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace vextral::gui {

namespace {

bool allBlack(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) != 0) return false;
        }
    }
    return true;
}

// A session where an X11 program sees only its own windows (XWayland).
bool waylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// Why the screen cannot be read on this platform at all; empty when it may be.
QString platformRefusal()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
        platform == QLatin1String("vnc") || platform == QLatin1String("linuxfb")) {
        return QStringLiteral("Cannot capture the screen: there is no desktop to capture on the \"%1\" display")
            .arg(platform);
    }
    if (platform.startsWith(QLatin1String("wayland")))
        return QStringLiteral("Cannot capture the screen: this Wayland session does not let programs read the screen");
    if (!QGuiApplication::primaryScreen()) return QStringLiteral("Cannot capture the screen: there is no screen");
    return {};
}

} // namespace

codecs::Picture pictureFromImage(const QImage& image)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    codecs::Picture picture = codecs::Picture::make(bgr.width(), bgr.height());
    for (int y = 0; y < picture.height; ++y) std::memcpy(picture.row(y), bgr.constScanLine(y), picture.stride());
    return picture;
}

CaptureOverlay::CaptureOverlay(const QImage& still, QSize square,
                               std::function<void(int status, const QImage& picture)> report)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), still_(still),
      square_(square.boundedTo(still.size())), report_(std::move(report))
{
    setObjectName(QStringLiteral("CaptureOverlay"));
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    follow(QPointF(mapFromGlobal(QCursor::pos())));
}

void CaptureOverlay::follow(QPointF pointer)
{
    const qreal ratio = still_.devicePixelRatio();
    const QPoint centre = (pointer * ratio).toPoint();
    QRect r(centre - QPoint(square_.width() / 2, square_.height() / 2), square_);
    // The square stays whole on the screen.
    r.moveLeft(std::clamp(r.left(), 0, still_.width() - r.width()));
    r.moveTop(std::clamp(r.top(), 0, still_.height() - r.height()));
    if (r != rect_) {
        rect_ = r;
        update();
    }
}

void CaptureOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), still_);
    // Everything but the square is dimmed; the square has a frame round it.
    const qreal ratio = still_.devicePixelRatio();
    const QRectF square(QPointF(rect_.topLeft()) / ratio, QSizeF(rect_.size()) / ratio);
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    QPainterPath inside;
    inside.addRect(square);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 90));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(square.adjusted(-1.5, -1.5, 0.5, 0.5));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(square.adjusted(-2.5, -2.5, 1.5, 1.5));

    const QString size = QStringLiteral("%1 x %2").arg(rect_.width()).arg(rect_.height());
    QRectF label = painter.fontMetrics().boundingRect(size).adjusted(-4, -2, 4, 2);
    label.moveTopLeft(square.bottomLeft() + QPointF(0, 6));
    if (label.bottom() > height()) label.moveBottomLeft(square.topLeft() - QPointF(0, 6));
    painter.fillRect(label, QColor(255, 255, 225));
    painter.setPen(Qt::black);
    painter.drawText(label, Qt::AlignCenter, size);
}

void CaptureOverlay::mouseMoveEvent(QMouseEvent* e) { follow(e->position()); }

void CaptureOverlay::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        finish(0, {});
        return;
    }
    follow(e->position());
    QImage picture = still_.copy(rect_);
    picture.setDevicePixelRatio(1);
    finish(1, picture);
}

void CaptureOverlay::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        finish(0, {});
        return;
    }
    QWidget::keyPressEvent(e);
}

void CaptureOverlay::closeEvent(QCloseEvent* e)
{
    e->ignore(); // closing it by the window manager cancels, and finish() deletes it
    finish(0, {});
}

void CaptureOverlay::finish(int status, const QImage& picture)
{
    if (finished_) return;
    finished_ = true;
    hide();
    deleteLater();
    report_(status, picture);
}

OverlayCaptureBackend::OverlayCaptureBackend(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &OverlayCaptureBackend::grabScreen);
}

OverlayCaptureBackend::~OverlayCaptureBackend() { delete overlay_.data(); }

void OverlayCaptureBackend::setCaptureProperty(int id, std::int32_t value)
{
    namespace p = desktop::captureProperty;
    switch (id) {
    case p::kWidth: width_ = value; break;
    case p::kHeight: height_ = value; break;
    case p::kZoom: zoom_ = value; break;
    case p::kZoomFilter: zoomFilter_ = value; break;
    default: break; // the effects, sounds and shadows are not drawn
    }
}

bool OverlayCaptureBackend::startCapture(desktop::CaptureMode mode, Callback callback)
{
    stopCapture();
    lastError_.clear();
    if (mode != desktop::CaptureMode::tcmFixedRegion) {
        lastError_ = "Only a fixed region of the screen can be captured";
        return false;
    }
    if (width_ <= 0 || height_ <= 0) {
        lastError_ = "The area to capture is empty";
        return false;
    }
    if (const QString refusal = platformRefusal(); !refusal.isEmpty()) {
        lastError_ = refusal.toStdString();
        return false;
    }
    callback_ = std::move(callback);
    timer_->start(grabDelay_);
    return true;
}

void OverlayCaptureBackend::stopCapture()
{
    timer_->stop();
    callback_ = nullptr;
    if (CaptureOverlay* overlay = overlay_) {
        overlay_ = nullptr;
        overlay->hide();
        overlay->deleteLater();
    }
}

void OverlayCaptureBackend::reportOnce(int status, const codecs::Picture* picture)
{
    Callback callback = std::move(callback_);
    callback_ = nullptr;
    if (callback) callback(status, picture);
}

void OverlayCaptureBackend::grabScreen()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    QImage still = screen ? screen->grabWindow(0).toImage() : QImage();
    const bool blackMeansBlind = QGuiApplication::platformName() != QLatin1String("xcb") || waylandSession();
    if (still.isNull() || (blackMeansBlind && allBlack(still))) {
        lastError_ = waylandSession()
                         ? "Cannot capture the screen: this Wayland session does not let programs read the screen"
                         : "Cannot capture the screen: the display gave no picture of it";
        reportOnce(kGrabFailed, nullptr);
        return;
    }
    const qreal ratio = screen->devicePixelRatio();
    still.setDevicePixelRatio(ratio);
    const int zoom = zoom_;
    const bool smooth = zoomFilter_ != 0;
    auto* overlay =
        new CaptureOverlay(still, QSize(width_, height_), [this, zoom, smooth](int status, const QImage& image) {
            overlay_ = nullptr;
            if (status != 1) {
                reportOnce(status, nullptr);
                return;
            }
            QImage picture = image;
            if (zoom > 0 && zoom != 100) {
                const QSize zoomed(std::max(1, image.width() * zoom / 100), std::max(1, image.height() * zoom / 100));
                picture = image.scaled(zoomed, Qt::IgnoreAspectRatio,
                                       smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
            }
            const codecs::Picture bitmap = pictureFromImage(picture);
            reportOnce(1, &bitmap);
        });
    overlay_ = overlay;
    overlay->setGeometry(screen->geometry());
    overlay->showFullScreen();
    overlay->raise();
    overlay->activateWindow();
    overlay->grabKeyboard();
}

desktop::CaptureBackend& overlayCaptureBackend()
{
    static QPointer<OverlayCaptureBackend> backend;
    if (!backend) backend = new OverlayCaptureBackend(QCoreApplication::instance());
    return *backend;
}

} // namespace vextral::gui
