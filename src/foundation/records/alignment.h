#pragma once
// Horizontal alignment of text in a field or a control, with the framework's
// identifiers because report forms store the value by name.

#include <QObject>

namespace vorel {

class TAlignments {
    Q_GADGET
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    Q_CLASSINFO("Doc.taLeftJustify", "Aligned to the left edge.")
    Q_CLASSINFO("Doc.taRightJustify", "Aligned to the right edge.")
    Q_CLASSINFO("Doc.taCenter", "Centred.")
};
using TAlignment = TAlignments::TAlignment;
using enum TAlignments::TAlignment;

} // namespace vorel
