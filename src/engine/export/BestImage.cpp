#include "export/BestImage.h"

#include <algorithm>

namespace vextral::exporting {

std::vector<int> bestImageOrder(const std::vector<platform::IconImageEntry>& images, int width, int height)
{
    std::vector<int> order;
    for (std::size_t k = 0; k < images.size(); ++k) {
        if (images[k].info) order.push_back(static_cast<int>(k));
    }
    auto fits = [&](const codecs::ImageInfo& info) { return info.width >= width && info.height >= height; };
    auto area = [](const codecs::ImageInfo& info) { return static_cast<long long>(info.width) * info.height; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const codecs::ImageInfo& ia = *images[static_cast<std::size_t>(a)].info;
        const codecs::ImageInfo& ib = *images[static_cast<std::size_t>(b)].info;
        if (fits(ia) != fits(ib)) return fits(ia);
        if (area(ia) != area(ib)) return fits(ia) ? area(ia) < area(ib) : area(ia) > area(ib);
        return ia.bits > ib.bits;
    });
    return order;
}

std::optional<codecs::IconPicture> renderBestImage(const std::string& path, int index, int width, int height)
{
    if (width < 1 || height < 1 || width > codecs::kMaxPictureSide || height > codecs::kMaxPictureSide) {
        return std::nullopt;
    }
    const platform::IconSource source = platform::IconSource::open(path);
    if (index < 0 || index >= source.count()) return std::nullopt;
    for (const int entry : bestImageOrder(source.images(index), width, height)) {
        if (const auto picture = source.imagePicture(index, entry)) return scaleIconPicture(*picture, width, height);
    }
    if (const auto icon = source.icon(index)) return scaleIconPicture(codecs::pictureOfIcon(*icon), width, height);
    return std::nullopt;
}

codecs::IconPicture renderCatalogueBestImage(const IconCatalogue& catalogue, int i, int width, int height)
{
    const IconRecord& record = catalogue.record(i);
    if (auto picture = renderBestImage(record.sourceFile, record.iconIndex, width, height)) return std::move(*picture);
    return scaleIconPicture(codecs::pictureOfIcon(catalogue.image(i)), width, height);
}

void drawIconPicture(codecs::ImageBuffer& buffer, const codecs::IconPicture& picture)
{
    codecs::Picture& out = buffer.picture();
    out = codecs::Picture::make(picture.width, picture.height, 24);
    const std::uint32_t background = settings::colourToRgb(buffer.background());
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x)
            out.setPixel(x, y, codecs::Bgr::fromRgb(picture.drawnOver(x, y, background)));
    }
}

void drawBestImage(codecs::ImageBuffer& buffer, const IconCatalogue& catalogue, int i, int width, int height)
{
    if (width < 0 && height < 0) width = height = Icon::kSize;
    if (width < 0) width = height;
    if (height < 0) height = width;
    codecs::checkPictureSize(width, height);
    if (width == 0 || height == 0) {
        buffer.picture() = codecs::Picture::make(width, height, 24);
        return;
    }
    drawIconPicture(buffer, renderCatalogueBestImage(catalogue, i, width, height));
}

} // namespace vextral::exporting
