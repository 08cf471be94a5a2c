#include "export/picture_part.h"

#include <algorithm>
#include <cmath>

namespace vorel {

QImage ShownPicturePart(const TEmfPicture& picture, std::int64_t maxPixels)
{
    const QRect part = picture.Source.normalized().intersected(picture.Image.rect());
    if (part.isEmpty())
        return {};
    QImage image = part != picture.Image.rect() ? picture.Image.copy(part) : picture.Image;
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (pixels > maxPixels) {
        const double shrink = std::sqrt(double(maxPixels) / double(pixels));
        image = image.scaled(std::max(1, int(image.width() * shrink)), std::max(1, int(image.height() * shrink)),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

} // namespace vorel
