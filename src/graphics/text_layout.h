#pragma once
// Line breaking of the formatted text drawing, apart from any canvas so that
// measuring and painting share it and tests can look at the lines.
//
// The classic rules: explicit line breaks (CR LF, CR, LF) end a line unless
// the text is single-line; a trailing line break adds no empty line; with
// word-break a line breaks before the first word whose end passes the
// rectangle's right edge, at the blanks before it (spaces and tabs), which
// are dropped; a word longer than the line stands alone on its line and is
// not split; blanks that end a wrapped line do not count to its width.

#include "graphics/text_measure.h"

#include <QList>
#include <QVarLengthArray>
#include <QString>

namespace vorel {

struct TTextLine {
    int Start = 0; // index into TTextLayout::Text (UTF-16 units)
    int Length = 0;
    int Width = 0; // pixels, tabs expanded when asked for
};

struct TTextLayout {
    QString Text; // the text after prefix processing ("&&" -> "&", lone "&" dropped)
    QVarLengthArray<TTextLine, 4> Lines; // most texts are a line or two: no allocation
    int LineHeight = 0; // pixels: ascent + descent (+ external leading when asked for)
    int MaxWidth = 0; // widest line
    int TabWidth = 0; // pixels between tab stops (8 average characters)
    int Height() const { return int(Lines.size()) * LineHeight; }
};

// flags: the DT_* flags of canvas.h (word break, single line, expand tabs,
// no prefix, external leading are looked at). width: the rectangle's width.
TTextLayout LayoutText(const TFontFace& face, const QString& text, unsigned flags, int width);

// The width of a run that starts startX pixels from the line's start, with
// tabs moved to the next multiple of tabWidth when tabWidth > 0.
int RunWidth(const TFontFace& face, QStringView run, int startX, int tabWidth);

} // namespace vorel
