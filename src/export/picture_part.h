#pragma once
// The part of a metafile picture the page shows (its source rectangle
// within the image), shrunk to at most a number of pixels: what the vector
// writers (PDF, SVG) embed. A null image when the source shows nothing.

#include "graphics/emf_interpreter.h"

#include <QImage>
#include <cstdint>

namespace vorel {

QImage ShownPicturePart(const TEmfPicture& picture, std::int64_t maxPixels);

} // namespace vorel
