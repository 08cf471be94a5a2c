#pragma once
// Plays Enhanced Metafiles onto any QPainter (preview, printer, bitmaps,
// vector PDF): faithful to the classic drawing semantics for the records
// Vorel writes, tolerant of metafiles written by other programs.
//
// Covered: pens (also extended), brushes (solid, hatched, DIB patterns),
// fonts with escapement, text with dx arrays (wide, 8-bit, small and glyph
// index forms, opaque and clipped), lines, poly-lines, polygons and beziers
// (16- and 32-bit), rectangles, rounded rectangles, ellipses, arcs, chords,
// pies, paths (stroke, fill, clip), regions (fill, paint, clip), DIB
// pictures (stretch, bit-blit, set-bits, alpha-blend, pattern fills), save
// and restore of the state, world transforms, map modes with window and
// viewport origins and extents, raster operations on raster devices.
// Skipped (no output): flood fills, plg/mask blits, gradient fills,
// polydraw, colour spaces and palettes, EMF+ comments.

#include "graphics/emf_format.h"

#include <QPainter>
#include <QRectF>

namespace vorel {

class TMetafile;

// The metafile's frame is mapped onto dest (in the painter's coordinates).
// The painter's state is the same afterwards as before.
void PlayEmf(QPainter& painter, const TMetafile& metafile, const QRectF& dest);
void PlayEmf(QPainter& painter, ByteView validatedBytes, const TEmfHeader& header, const QRectF& dest);

// Reference-device pixels of a metafile's frame (origin and size), snapped
// to whole pixels where the frame was derived from a pixel size.
QRectF FrameInDevicePixels(const TEmfHeader& header);

} // namespace vorel
