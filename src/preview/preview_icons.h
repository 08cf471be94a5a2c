#pragma once
// The preview's pictures: toolbar icons, the two zoom cursors and the
// outline entries' icon. Drawn rather than shipped as files, so they are
// crisp at any device pixel ratio; a desktop icon theme that has an icon
// of the same name is preferred for the toolbar.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace vorel {

enum class TPreviewIcon {
    Print, PrinterSetup, Save, Open, OnePage, Zoom100, PageWidth, ZoomIn, ZoomOut,
    FirstPage, PriorPage, NextPage, LastPage, Find, Thumbnails, Outlines, Margins, Grid, Close,
};

QIcon PreviewIcon(TPreviewIcon icon);
// The magnifier with a plus (zoom in) or a minus, its hot spot at the lens centre.
QCursor ZoomCursor(bool zoomIn);
// 16 x 16: the icon drawn before each outline entry.
QPixmap OutlineIcon();

} // namespace vorel
