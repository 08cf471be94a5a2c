#include "graphics/graphics_types.h"

namespace vorel {

void TPen::SetColor(TColor value)
{
    if (FColor == value)
        return;
    FColor = value;
    Changed();
}

void TPen::SetMode(TPenMode value)
{
    if (FMode == value)
        return;
    FMode = value;
    Changed();
}

void TPen::SetStyle(TPenStyle value)
{
    if (FStyle == value)
        return;
    FStyle = value;
    Changed();
}

void TPen::SetWidth(int value)
{
    // A negative width means nothing to any device; the classic pen keeps
    // its width then.
    if (value < 0 || FWidth == value)
        return;
    FWidth = value;
    Changed();
}

void TPen::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TPen*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this || Equals(*other))
        return;
    FColor = other->FColor;
    FMode = other->FMode;
    FStyle = other->FStyle;
    FWidth = other->FWidth;
    Changed();
}

void TBrush::SetColor(TColor value)
{
    if (FColor == value && FStyle != bsClear)
        return;
    FColor = value;
    if (FStyle == bsClear)
        FStyle = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value)
{
    if (FStyle == value)
        return;
    FStyle = value;
    Changed();
}

void TBrush::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TBrush*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this || Equals(*other))
        return;
    FColor = other->FColor;
    FStyle = other->FStyle;
    Changed();
}

int PenModeToRop2(TPenMode mode)
{
    // R2_BLACK 1 .. R2_WHITE 16, in the order of TPenMode.
    static constexpr int kRop2[] = {1, 16, 11, 6, 13, 4, 14, 5, 12, 3, 15, 2, 9, 8, 7, 10};
    const int index = int(mode);
    return index >= 0 && index < 16 ? kRop2[index] : 13;
}

} // namespace vorel
