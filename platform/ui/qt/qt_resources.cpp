#include "platform/ui/qt/qt_resources.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "res/dialog_template.h"

namespace drovan::ui::qt {

namespace {

uint32_t U32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// An uncompressed 24- or 32-bit device-independent bitmap, the kind the program's own
// pictures are, read here: Qt's image reader would first look through every image format
// plug-in installed, loading some of them, before it reads a single pixel. `pixels` starts
// at the colour rows; an icon's image is followed by its 1-bit mask and has `alpha`.
// Anything else is left to Qt (nullopt).
std::optional<QImage> ReadDib(const BYTE* info, size_t infoSize, const BYTE* pixels, size_t pixelBytes, int rows,
                              bool icon) {
    if (infoSize < 40 || U32(info) < 40) return std::nullopt;
    int width = static_cast<int32_t>(U32(info + 4));
    int bits = U16(info + 14);
    uint32_t compression = U32(info + 16);
    bool bottomUp = static_cast<int32_t>(U32(info + 8)) > 0;
    if (compression != 0 /* BI_RGB */ || (bits != 24 && bits != 32) || width <= 0 || width > 16384 || rows <= 0 ||
        rows > 16384)
        return std::nullopt;
    size_t stride = (static_cast<size_t>(width) * static_cast<size_t>(bits) / 8 + 3) & ~size_t{3};
    size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    size_t colour = stride * static_cast<size_t>(rows);
    if (pixelBytes < colour) return std::nullopt;
    bool haveMask = icon && pixelBytes >= colour + maskStride * static_cast<size_t>(rows);
    bool alpha = false;
    if (icon && bits == 32)
        for (size_t i = 3; i < colour && !alpha; i += 4) alpha = pixels[i] != 0;
    QImage image(width, rows, icon ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    for (int y = 0; y < rows; ++y) {
        size_t srcRow = static_cast<size_t>(bottomUp ? rows - 1 - y : y);
        const BYTE* src = pixels + srcRow * stride;
        const BYTE* mask = haveMask ? pixels + colour + srcRow * maskStride : nullptr;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const BYTE* p = src + static_cast<size_t>(x) * static_cast<size_t>(bits / 8);
            int a = 255;
            if (alpha) a = p[3];
            else if (mask && (mask[x / 8] & (0x80 >> (x % 8)))) a = 0;  // a set mask bit is transparent
            dst[x] = qRgba(p[2], p[1], p[0], a);
        }
    }
    return image;
}

std::optional<QImage> ReadBmp(const BYTE* bmp, size_t size) {
    if (size < 14 + 40 || bmp[0] != 'B' || bmp[1] != 'M') return std::nullopt;
    size_t offset = U32(bmp + 10);
    if (offset < 14 + 40 || offset > size) return std::nullopt;
    int height = static_cast<int32_t>(U32(bmp + 14 + 8));
    return ReadDib(bmp + 14, offset - 14, bmp + offset, size - offset, height < 0 ? -height : height, false);
}

// The images of an .ico file, each as the program holds it; nullopt when one of them is
// not a kind read here.
std::optional<std::vector<QImage>> ReadIco(const BYTE* ico, size_t size) {
    if (size < 6 || U16(ico) != 0 || U16(ico + 2) != 1) return std::nullopt;
    size_t count = U16(ico + 4);
    if (size < 6 + 16 * count) return std::nullopt;
    std::vector<QImage> images;
    for (size_t i = 0; i < count; ++i) {
        const BYTE* entry = ico + 6 + 16 * i;
        size_t bytes = U32(entry + 8), offset = U32(entry + 12);
        if (offset > size || bytes > size - offset) return std::nullopt;
        const BYTE* data = ico + offset;
        static const BYTE kPng[] = {0x89, 'P', 'N', 'G'};
        QImage image;
        if (bytes >= 4 && std::memcmp(data, kPng, 4) == 0) {
            // PNG is read by Qt itself, without plug-ins.
            if (!image.loadFromData(data, static_cast<int>(bytes), "PNG")) return std::nullopt;
        } else {
            if (bytes < 40) return std::nullopt;
            size_t infoSize = U32(data);
            int height = static_cast<int32_t>(U32(data + 8)) / 2;  // the colour rows and the mask's
            if (infoSize < 40 || infoSize > bytes) return std::nullopt;
            auto read = ReadDib(data, infoSize, data + infoSize, bytes - infoSize, height, true);
            if (!read) return std::nullopt;
            image = *read;
        }
        images.push_back(image);
    }
    return images;
}

}  // namespace

const QImage& BitmapImage(int resourceId) {
    static std::map<int, QImage> cache;
    auto it = cache.find(resourceId);
    if (it != cache.end()) return it->second;
    QImage image;
    if (const res::BitmapResource* b = res::FindBitmap(resourceId)) {
        if (auto read = ReadBmp(b->bmp, b->size)) image = *read;
        else image.loadFromData(b->bmp, static_cast<int>(b->size), "BMP");
    }
    return cache.emplace(resourceId, image).first->second;
}

QIcon IconOf(int resourceId) {
    static std::map<int, QIcon> cache;
    auto it = cache.find(resourceId);
    if (it != cache.end()) return it->second;
    QIcon icon;
    if (const res::IconResource* r = res::FindIcon(resourceId)) {
        if (auto images = ReadIco(r->ico, r->size)) {
            for (const QImage& image : *images) icon.addPixmap(QPixmap::fromImage(image));
        } else {
            QByteArray bytes(reinterpret_cast<const char*>(r->ico), static_cast<qsizetype>(r->size));
            QBuffer buffer(&bytes);
            QImageReader reader(&buffer, "ICO");
            // An .ico holds several sizes: each one, so that Qt picks the closest.
            for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
                if (i > 0 && !reader.jumpToImage(i)) break;
                QImage image = reader.read();
                if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
            }
        }
    }
    return cache.emplace(resourceId, icon).first->second;
}

}  // namespace drovan::ui::qt
