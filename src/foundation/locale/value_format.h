#pragma once
// Rendering values through format descriptors: the "@" tag strings stored in
// a text control's Format property ("@N @ND2 @NT, ", "@D @DS ", "@C @U ").
// docs/FORMATTING.md describes the tag language for report authors.

#include <QString>

#include <span>

namespace vorel {

class Variant;

// One tag of the descriptor language, with what report authors need to
// write it. A flag is written as the tag and one blank ("@NB "), a valued
// tag as the tag, its value and one blank ("@ND2 ").
struct TFormatTag {
    const char* Tag;         // "@ND"
    const char* Kind;        // what the tag belongs to: "text", "number", "date" or "time"
    const char* Value;       // what a valued tag takes ("0 to 2"); nullptr for a flag
    const char* Description; // one line for report authors
};
// Every tag GetTextByFormat reads, in the order docs/FORMATTING.md
// presents them; `vorel reference` prints the table.
std::span<const TFormatTag> FormatTags();

// The width measuring a canvas offers; the graphics layer implements it.
struct TextWidthMeasurer {
    virtual ~TextWidthMeasurer() = default;
    // The width of the text in pixels, in the canvas's current font.
    virtual int TextWidth(const QString& text) const = 0;
};

// Renders the text of a value through a descriptor. widthInChars is the
// control's inner width in characters (see GetCharWidth); only "@NL " uses
// it. Never throws: on any failure the value text is returned unchanged.
QString GetTextByFormat(const QString& valueText, const QString& descriptor, int widthInChars);
// Whether GetTextByFormat looks at widthInChars for the descriptor (a
// number with "@NL "), so that callers measure the width only then.
bool FormatUsesWidth(const QString& descriptor);

// The text GetTextByFormat expects for a value: with a non-empty descriptor a
// 32-bit integer, float, currency or date-time gives the general float text
// of its number (a date-time its day number); otherwise the variant's text.
QString GetValueStr(const Variant& value, const QString& descriptor);

// How many "0" characters fit in pixelWidth pixels, rounded to the nearest
// whole number (halves to even); 0 when the measurer reports no width.
int GetCharWidth(const TextWidthMeasurer& canvas, int pixelWidth);

// Prefixes "0" until the text is lengthInChars long; never shortens.
QString AddLeadingZeros(const QString& text, int lengthInChars);
// Upper-cases each character that starts the text or follows a blank
// (U+0020), lower-cases every other one; both locale-aware.
QString Proper(const QString& text);
// The locale's number of fractional digits.
int GetIDigits();
// The value of a tag whose value starts at `position` (0-based): the text up
// to the next blank or the end; an empty value reads as one blank.
QString GetNextSpace(const QString& descriptor, qsizetype position);

} // namespace vorel
