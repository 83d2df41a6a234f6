#pragma once

#include "harvest/IconCatalogue.h"

#include <QCache>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QPixmap>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace vextral::gui {

// The pictures the icon list draws, at any side and screen scale. At 32 x 32
// on a screen of scale 1 an icon is exactly the catalogue's picture. At any
// other size it is drawn from the icon's own best image for the pixels the
// screen has; those are decoded on a thread of their own, for the icons the
// list paints and no others, while the list shows the 32 x 32 picture scaled.
// The pictures made are kept within a memory bound, the least recently used
// given up first.
class IconPictures final : public QObject {
    Q_OBJECT
public:
    explicit IconPictures(const IconCatalogue& catalogue, QObject* parent = nullptr);
    ~IconPictures() override;

    // The picture of catalogue icon position, side device-independent pixels
    // square, for a screen of that scale.
    QPixmap picture(int position, int side, qreal scale);
    // The colour inverted pixels are drawn over.
    void setBackground(const QColor& colour);
    // Forgets every picture and every decoding asked for (the catalogue was cleared).
    void clear();
    // No decoding is waiting or under way.
    bool idle() const;

    // The most bytes the pictures made may take.
    static constexpr int kCacheBytes = 64 << 20;

signals:
    // A decoded picture of the icon is ready: the list paints it again.
    void pictureReady(int position);
    // From the decoding thread: a picture made (null when none could be).
    void decoded(quint64 key, int position, int generation, const QImage& image);

private:
    struct Request {
        quint64 key = 0;
        int position = 0;
        int generation = 0;
        std::string path;
        int iconIndex = 0;
        int pixels = 0;
    };
    struct Entry {
        QPixmap pixmap;
        bool final = false; // false: the scaled stand-in, a decoding is asked for
    };
    quint64 keyOf(int position, int pixels) const;
    void ask(Request request);
    void decodeLoop();
    void deliver(quint64 key, int position, int generation, const QImage& image);

    const IconCatalogue& catalogue_;
    QColor background_ = Qt::white;
    int generation_ = 0;
    QCache<quint64, Entry> cache_ {kCacheBytes};

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> queue_;
    std::set<quint64> asked_;
    bool busy_ = false;
    bool stopping_ = false;
    std::uint32_t backgroundRgb_ = 0xFFFFFF; // read by the decoding thread
    std::thread thread_;
};

// An icon picture as a Qt image: alpha kept, masked pixels transparent, and
// inverted pixels drawn over background as the desktop would.
QImage pictureImage(int width, int height, const std::uint32_t* colour, const std::uint8_t* mask, bool hasAlpha,
                    const QColor& background);

} // namespace vextral::gui
