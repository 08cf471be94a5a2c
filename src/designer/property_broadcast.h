#pragma once
// The commands that change one attribute of every selected band and
// control at once (toolbar and menu), and the selection commands.

#include <QList>
#include <QVariant>

namespace vorel {

class TKVReport;
class TKVXControl;

enum TPropertySet {
    psFrameType,    // value: QList<bool> {top, left, bottom, right}
    psFramePen,     // value: frame width, value2: pen style
    psFrameColor,
    psPenStyle,
    psBrushStyle,
    psBackColor,
    psFontColor,
    psFontName,
    psFontSize,     // points
    psFontStyle,    // value: QList<bool> {bold, italic, underline}
    psAlignment,
    psBringToFront,
    psSendToBack,
    psSelectAll     // value: 0 select all, 1 unselect all, 2 invert
};

// Applies the member to each selected band, then to every selected control
// of each band (a band's controls from last to first). psSelectAll,
// psBringToFront and psSendToBack act on the selection as a whole.
void BroadcastProperty(TKVReport* report, TPropertySet member, const QVariant& value,
                       const QVariant& value2 = QVariant());

} // namespace vorel
