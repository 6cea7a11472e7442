// The program's pictures and icon as Qt images, decoded once from the resource data.
#pragma once

#include <QIcon>
#include <QImage>

namespace drovan::ui::qt {

// Qt's thread only. A null image or icon when the program holds no such resource.
const QImage& BitmapImage(int resourceId);
QIcon IconOf(int resourceId);

}  // namespace drovan::ui::qt
