#include "gui/iconlist/IconPictures.h"

#include "codecs/IconPicture.h"
#include "export/BestImage.h"
#include "platform/IconExtractor.h"

#include <algorithm>
#include <cmath>
#include <list>
#include <optional>
#include <utility>

namespace vextral::gui {

namespace {

// Requests waiting beyond this many are the oldest, for icons long scrolled
// past: they are dropped.
constexpr std::size_t kMostWaiting = 4096;
// Sources the decoding thread keeps open: the icons painted together mostly
// come from a few files.
constexpr std::size_t kOpenSources = 4;

} // namespace

QImage pictureImage(int width, int height, const std::uint32_t* colour, const std::uint8_t* mask, bool hasAlpha,
                    const QColor& background)
{
    QImage image(width, height, QImage::Format_ARGB32);
    const std::uint32_t bg = background.rgb() & 0xFFFFFFu;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::size_t p =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            const std::uint32_t c = colour[p];
            if (hasAlpha) {
                line[x] = c;
            } else if (mask[p] == 0) {
                line[x] = 0xFF000000u | c;
            } else if ((c & 0xFFFFFFu) == 0) {
                line[x] = 0;
            } else {
                line[x] = 0xFF000000u | drawIconPixel(c, true, false, bg);
            }
        }
    }
    return image;
}

IconPictures::IconPictures(const IconCatalogue& catalogue, QObject* parent) : QObject(parent), catalogue_(catalogue)
{
    connect(this, &IconPictures::decoded, this, &IconPictures::deliver, Qt::QueuedConnection);
    thread_ = std::thread([this] { decodeLoop(); });
}

IconPictures::~IconPictures()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void IconPictures::setBackground(const QColor& colour)
{
    if (colour == background_) return;
    background_ = colour;
    {
        const std::lock_guard lock(mutex_);
        backgroundRgb_ = colour.rgb() & 0xFFFFFFu;
    }
    clear();
}

void IconPictures::clear()
{
    ++generation_;
    cache_.clear();
    const std::lock_guard lock(mutex_);
    queue_.clear();
    asked_.clear();
}

bool IconPictures::idle() const
{
    const std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

quint64 IconPictures::keyOf(int position, int pixels) const
{
    return (quint64(quint32(position)) << 32) | (quint64(quint16(generation_)) << 16) | quint64(quint16(pixels));
}

QPixmap IconPictures::picture(int position, int side, qreal scale)
{
    if (position < 0 || position >= catalogue_.imageCount() || position >= catalogue_.recordCount()) return {};
    const int pixels = std::clamp(static_cast<int>(std::lround(side * std::max<qreal>(scale, 1.0))), 1, 1024);
    const quint64 key = keyOf(position, pixels);
    if (const Entry* entry = cache_.object(key)) {
        // A decoding dropped from a long queue is asked for again once the icon shows.
        if (!entry->final) {
            const IconRecord& record = catalogue_.record(position);
            ask(Request {key, position, generation_, record.sourceFile, record.iconIndex, pixels});
        }
        return entry->pixmap;
    }

    const Icon icon = catalogue_.image(position);
    QImage image =
        pictureImage(Icon::kSize, Icon::kSize, icon.colour.data(), icon.mask.data(), icon.hasAlpha, background_);
    const bool exact = pixels == Icon::kSize;
    if (!exact) {
        image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const IconRecord& record = catalogue_.record(position);
        ask(Request {key, position, generation_, record.sourceFile, record.iconIndex, pixels});
    }
    auto* entry = new Entry {QPixmap::fromImage(image), exact};
    entry->pixmap.setDevicePixelRatio(static_cast<qreal>(pixels) / side);
    QPixmap result = entry->pixmap;
    cache_.insert(key, entry, std::max(1, pixels * pixels * 4));
    return result;
}

void IconPictures::ask(Request request)
{
    {
        const std::lock_guard lock(mutex_);
        if (!asked_.insert(request.key).second) return;
        queue_.push_back(std::move(request));
        while (queue_.size() > kMostWaiting) {
            asked_.erase(queue_.front().key);
            queue_.pop_front();
        }
    }
    wake_.notify_one();
}

void IconPictures::decodeLoop()
{
    std::list<std::pair<std::string, platform::IconSource>> sources;
    const auto sourceFor = [&sources](const std::string& path, bool fresh) -> const platform::IconSource& {
        auto at = std::find_if(sources.begin(), sources.end(), [&](const auto& s) { return s.first == path; });
        if (at != sources.end() && fresh) {
            sources.erase(at);
            at = sources.end();
        }
        if (at == sources.end()) {
            sources.emplace_front(path, platform::reopenIconSource(path));
            if (sources.size() > kOpenSources) sources.pop_back();
        } else {
            sources.splice(sources.begin(), sources, at);
        }
        return sources.front().second;
    };
    for (;;) {
        Request request;
        std::uint32_t background = 0;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            // The newest first: the icons in view now.
            request = std::move(queue_.back());
            queue_.pop_back();
            busy_ = true;
            background = backgroundRgb_;
        }
        // A source kept open may have spent its decoding budget: one fresh try.
        std::optional<codecs::IconPicture> drawn = exporting::renderBestImage(
            sourceFor(request.path, false), request.iconIndex, request.pixels, request.pixels);
        if (!drawn) {
            drawn = exporting::renderBestImage(sourceFor(request.path, true), request.iconIndex, request.pixels,
                                               request.pixels);
        }
        QImage image;
        if (drawn) {
            image = pictureImage(drawn->width, drawn->height, drawn->colour.data(), drawn->mask.data(), drawn->hasAlpha,
                                 QColor::fromRgb(background));
        }
        // Queued to the window's thread, which owns the cache.
        emit decoded(request.key, request.position, request.generation, image);
    }
}

void IconPictures::deliver(quint64 key, int position, int generation, const QImage& image)
{
    {
        const std::lock_guard lock(mutex_);
        asked_.erase(key);
    }
    if (generation != generation_) return;
    Entry* entry = cache_.object(key);
    if (!entry) return; // given up meanwhile; asked again when painted
    // A file that no longer gives the icon keeps the scaled stand-in for good.
    if (!image.isNull()) {
        const qreal ratio = entry->pixmap.devicePixelRatio();
        entry->pixmap = QPixmap::fromImage(image);
        entry->pixmap.setDevicePixelRatio(ratio);
    }
    entry->final = true;
    emit pictureReady(position);
}

} // namespace vextral::gui
