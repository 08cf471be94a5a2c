#pragma once
// Conversion of a page metafile to the Windows metafile format (WMF, with
// the placeable header) for the WMF export. WMF has no world transforms and
// 16-bit coordinates, so every coordinate is mapped through the replay
// state's transform into page pixels here, scaled down by a whole factor
// when the page is larger than 32767 pixels (the header's units per inch
// say by how much).
//
// Written: pens, brushes, fonts (the face name in Latin-1), the modes and
// colours, lines, poly-lines, polygons, rectangles, rounded rectangles,
// ellipses, text with advances (characters outside Windows-1252 become
// "?"), DIB pictures, save/restore and clip rectangles. Records WMF cannot
// hold (paths, regions, alpha blending, transforms themselves) are left out.

#include <QByteArray>

namespace vorel {

class TMetafile;

QByteArray MetafileToWmf(const TMetafile& metafile);

} // namespace vorel
