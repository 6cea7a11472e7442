#include "platform/ui/qt/qt_resources.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>

#include <algorithm>

#include <map>

#include "res/dialog_template.h"

namespace drovan::ui::qt {

const QImage& BitmapImage(int resourceId) {
    static std::map<int, QImage> cache;
    auto it = cache.find(resourceId);
    if (it != cache.end()) return it->second;
    QImage image;
    if (const res::BitmapResource* b = res::FindBitmap(resourceId))
        image.loadFromData(b->bmp, static_cast<int>(b->size), "BMP");
    return cache.emplace(resourceId, image).first->second;
}

QIcon IconOf(int resourceId) {
    static std::map<int, QIcon> cache;
    auto it = cache.find(resourceId);
    if (it != cache.end()) return it->second;
    QIcon icon;
    if (const res::IconResource* r = res::FindIcon(resourceId)) {
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
    return cache.emplace(resourceId, icon).first->second;
}

}  // namespace drovan::ui::qt
