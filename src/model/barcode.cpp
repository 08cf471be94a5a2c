// The barcode control: its properties, the text it encodes, the classic
// symbologies' tables and encoders, and the drawing of every symbology as
// filled rectangles.

#include "model/barcode.h"

#include "data/dataset.h"
#include "foundation/language/language.h"
#include "foundation/values/text_utils.h"
#include "graphics/metafile_canvas.h"
#include "model/band.h"
#include "model/barcode_zint_p.h"
#include "model/error_place.h"
#include "model/report.h"

#include <cmath>
#include <typeinfo>

namespace vorel {

// What one Draw puts on the canvas: element codes of the classic drawing or
// libzint's modules, the human-readable line, and why it draws nothing.
struct TKVBarCode::TSymbol {
    enum Kind { Bars, Postnet, Modules } Kind = Bars;
    QString Elements;       // DrawBarString or DrawPostnetString codes
    TBarCodeMatrix Matrix;  // Modules
    QString Text;           // the human-readable line
    QString Problem;        // nothing is drawn when set
    QString Dropped;        // Code 39 characters left out (drawn anyway)
};

namespace {

// --- the classic tables ----------------------------------------------------------------------

// Code 39: each byte holds the first 8 of the 9 elements (bar, space, bar,
// ...), first element in the most significant bit, 1 = wide; the ninth is
// wide when fewer than 3 of the first 8 are.
constexpr char16_t kCode39Chars[] = u" $%*+-./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr unsigned char kCode39Patterns[] = {
    0x62, 0x54, 0x15, 0x4A, 0x45, 0x42, 0xC2, 0x51,                         // " $%*+-./"
    0x1A, 0x90, 0x30, 0xB0, 0x18, 0x98, 0x38, 0x12, 0x92, 0x32,             // 0-9
    0x84, 0x24, 0xA4, 0x0C, 0x8C, 0x2C, 0x06, 0x86, 0x26, 0x0E,             // A-J
    0x81, 0x21, 0xA1, 0x09, 0x89, 0x29, 0x03, 0x83, 0x23, 0x0B,             // K-T
    0xC0, 0x60, 0xE0, 0x48, 0xC8, 0x68,                                     // U-Z
};
static_assert(std::size(kCode39Patterns) == std::size(kCode39Chars) - 1);

// Interleaved 2 of 5: 5 elements in the top bits, 1 = wide.
constexpr unsigned char kI25Patterns[10] = {0x30, 0x88, 0x48, 0xC0, 0x28, 0xA0, 0x60, 0x18, 0x90, 0x50};
// POSTNET: 5 bars, first bar in bit 4, 1 = tall.
constexpr unsigned char kPostnetPatterns[10] = {0x18, 0x03, 0x05, 0x06, 0x09, 0x0A, 0x0C, 0x11, 0x12, 0x14};
// UPC-A left-hand (odd parity) patterns: 7 modules, first in bit 6, 1 = bar;
// the right-hand patterns are their complements.
constexpr unsigned char kUPCLeftPatterns[10] = {0x0D, 0x19, 0x13, 0x3D, 0x23, 0x31, 0x2F, 0x3B, 0x37, 0x0B};

// The pattern of c in a character table, and its index; -1 and pattern 0
// for a character not in it.
unsigned char FindCode(QChar c, std::u16string_view chars, const unsigned char* patterns, int& index)
{
    const std::size_t at = chars.find(c.unicode());
    if (at == std::u16string_view::npos) {
        index = -1;
        return 0;
    }
    index = int(at);
    return patterns[at];
}

bool AllDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// --- the classic encoders: element codes for DrawBarString ("0" narrow
// bar, "1" narrow space, "2" wide bar, "3" wide space) or DrawPostnetString.

void AppendElement(QString& out, bool bar, bool wide)
{
    out += QChar(u'0' + (bar ? 0 : 1) + (wide ? 2 : 0));
}

void EncodeCode39(const QString& text, QString& elements, QString& shown, QString& dropped)
{
    // A "*" of the text itself is dropped too: it is the start and stop
    // character, and one in the middle would end the symbol there.
    QString drawn;
    for (QChar c : text) {
        int index = -1;
        FindCode(c, kCode39Chars, kCode39Patterns, index);
        if (index < 0 || c == u'*')
            dropped += c;
        else
            drawn += c;
    }
    shown = u'*' + drawn + u'*';
    for (QChar c : shown) {
        int index = -1;
        const unsigned char pattern = FindCode(c, kCode39Chars, kCode39Patterns, index);
        int wideCount = 0;
        for (int i = 0; i < 8; ++i) {
            const bool wide = pattern & (0x80 >> i);
            wideCount += wide;
            AppendElement(elements, i % 2 == 0, wide);
        }
        AppendElement(elements, true, wideCount < 3);
        AppendElement(elements, false, false); // the gap between characters
    }
}

QString EncodeI25(const QString& text, QString& elements, QString& shown)
{
    if (!AllDigits(text))
        return QStringLiteral("only digits can be encoded");
    shown = text.size() % 2 ? u'0' + text : text;
    elements = QStringLiteral("0101"); // start
    for (qsizetype i = 0; i + 1 < shown.size(); i += 2) {
        const unsigned char first = kI25Patterns[shown[i].unicode() - u'0'];
        const unsigned char second = kI25Patterns[shown[i + 1].unicode() - u'0'];
        for (int e = 0; e < 5; ++e) {
            AppendElement(elements, true, first & (0x80 >> e));
            AppendElement(elements, false, second & (0x80 >> e));
        }
    }
    elements += QStringLiteral("210"); // stop: wide bar, narrow space, narrow bar
    return {};
}

QString EncodePostnet(const QString& text, QString& elements)
{
    for (QChar c : text)
        if (!(c.isDigit() && c.unicode() < 128) && c != u'-' && c != u'/')
            return QStringLiteral("only digits, '-' and '/' can be encoded");
    auto appendDigit = [&elements](int digit) {
        const unsigned char pattern = kPostnetPatterns[digit];
        for (int b = 0; b < 5; ++b) {
            elements += (pattern & (0x10 >> b)) ? u'1' : u'0';
            elements += u'2';
        }
    };
    elements = QStringLiteral("12"); // tall frame bar and a space
    int sum = 0;
    for (QChar c : text) {
        if (c == u'-' || c == u'/')
            continue;
        const int digit = c.unicode() - u'0';
        sum += digit;
        appendDigit(digit);
    }
    appendDigit((10 - sum % 10) % 10);
    elements += u'1'; // closing frame bar
    return {};
}

// The UPC-A check digit of 11 digits.
int UPCACheckDigit(QStringView digits)
{
    int sum = 0;
    for (int i = 0; i < 11; ++i)
        sum += (digits[i].unicode() - u'0') * (i % 2 == 0 ? 3 : 1);
    const int c = sum % 10;
    return c == 0 ? 0 : 10 - c;
}

QString EncodeUPCA(const QString& text, QString& elements, QString& shown)
{
    if (text.size() != 11)
        return QStringLiteral("needs exactly 11 digits (has %1 characters)").arg(text.size());
    // Other characters would index the pattern table with whatever they
    // are; refused instead of drawing bars that read as other digits.
    if (!AllDigits(text))
        return QStringLiteral("only digits can be encoded");
    shown = text + QChar(u'0' + UPCACheckDigit(text));
    auto appendDigit = [&elements](QChar c, bool right) {
        unsigned char pattern = kUPCLeftPatterns[c.unicode() - u'0'];
        if (right)
            pattern = ~pattern & 0x7F;
        for (int m = 0; m < 7; ++m)
            elements += (pattern & (0x40 >> m)) ? u'0' : u'1';
    };
    elements = QStringLiteral("010"); // left guard: bar, space, bar
    for (int i = 0; i < 6; ++i)
        appendDigit(shown[i], false);
    elements += QStringLiteral("10101"); // centre guard
    for (int i = 6; i < 12; ++i)
        appendDigit(shown[i], true);
    elements += QStringLiteral("010"); // right guard
    return {};
}

// The length of the element codes along the symbol, in report pixels.
int ElementsLength(QStringView elements, int narrow, int wide)
{
    int length = 0;
    for (QChar c : elements)
        length += (c == u'2' || c == u'3') ? wide : narrow;
    return length;
}

} // namespace

bool IsClassicBarCode(TBarCodeType type)
{
    return type <= bcUPCA;
}

bool IsMatrixBarCode(TBarCodeType type)
{
    return type == bcQRCode || type == bcDataMatrix || type == bcPDF417;
}

QString BarCodeTypeName(TBarCodeType type)
{
    switch (type) {
    case bcCode39: return QStringLiteral("Code 39");
    case bcInterleaved2of5: return QStringLiteral("Interleaved 2 of 5");
    case bcPostnet: return QStringLiteral("POSTNET");
    case bcUPCA: return QStringLiteral("UPC-A");
    case bcCode128: return QStringLiteral("Code 128");
    case bcGS1128: return QStringLiteral("GS1-128");
    case bcEAN13: return QStringLiteral("EAN-13");
    case bcEAN8: return QStringLiteral("EAN-8");
    case bcUPCE: return QStringLiteral("UPC-E");
    case bcQRCode: return QStringLiteral("QR Code");
    case bcDataMatrix: return QStringLiteral("Data Matrix");
    case bcPDF417: return QStringLiteral("PDF417");
    }
    return QStringLiteral("barcode");
}

// --- properties ----------------------------------------------------------------------------

TKVBarCode::TKVBarCode(QObject* owner) : TKVXControl(owner)
{
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_BARCODE));
}

void TKVBarCode::SetBarCodeType(TBarCodeType value)
{
    FBarCodeType = value;
    Invalidate();
}

void TKVBarCode::SetValue(const QString& value)
{
    if (value == FValue)
        return;
    if (DisplayName() == FValue)
        SetDisplayName(value);
    FValue = value;
    Invalidate();
}

void TKVBarCode::SetExpression(const QString& value)
{
    if (value == FExpression)
        return;
    if (DisplayName() == FExpression)
        SetDisplayName(value);
    FExpression = value;
    Invalidate();
}

void TKVBarCode::SetVertical(bool value)
{
    FVertical = value;
    Invalidate();
}

void TKVBarCode::SetNarrowWidth(int value)
{
    FNarrowWidth = value;
    Invalidate();
}

void TKVBarCode::SetWideWidth(int value)
{
    FWideWidth = value;
    Invalidate();
}

void TKVBarCode::SetShowText(bool value)
{
    FShowText = value;
    Invalidate();
}

void TKVBarCode::SetQRLevel(TQRLevel value)
{
    FQRLevel = value;
    Invalidate();
}

QString TKVBarCode::GetBarCode() const
{
    QString text;
    if (FExpression.isEmpty()) {
        text = FValue;
    } else {
        try {
            if (TDataSet* dataSet = GetDatasetByName(FExpression))
                if (const TField* field = dataSet->FindField(GetFieldName(FExpression)))
                    text = field->Text();
        } catch (const std::exception&) {
            text.clear(); // a field that cannot be read encodes nothing
        }
    }
    if (IsClassicBarCode(FBarCodeType)) {
        // ASCII letters only: the classic tables know no others.
        for (QChar& c : text)
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return text;
}

// --- drawing -------------------------------------------------------------------------------

void TKVBarCode::FillBar(TCanvas& canvas, const TRect& r)
{
    // A bar ending exactly on the control's edge is inside it.
    if (FClip && (r.Right > FClip->Right || r.Bottom > FClip->Bottom))
        return;
    canvas.FillRect(r);
}

void TKVBarCode::DrawBarLine(TCanvas& canvas, TBarType barType, bool isShort, bool black)
{
    const int w = barType == btNarrow ? Narrow() : Wide();
    if (black) {
        TRect r;
        if (!FVertical) {
            if (isShort) {
                const int top = FY + int(std::lround(0.6 * FH));
                r = Bounds(FX, top, w, int(std::lround(0.4 * FH)));
            } else {
                r = Bounds(FX, FY, w, FH);
            }
        } else {
            r = Bounds(FX, FY, isShort ? int(std::lround(0.4 * FL)) : FL, w);
        }
        FillBar(canvas, r);
    }
    if (FVertical)
        FY += w;
    else
        FX += w;
}

void TKVBarCode::DrawBarString(TCanvas& canvas, QStringView elements)
{
    for (QChar c : elements) {
        const int code = c.unicode() - u'0';
        if (code < 0 || code > 3)
            continue;
        DrawBarLine(canvas, code >= 2 ? btWide : btNarrow, false, code % 2 == 0);
    }
}

void TKVBarCode::DrawPostnetString(TCanvas& canvas, QStringView elements)
{
    for (QChar c : elements) {
        if (c == u'0' || c == u'1')
            DrawBarLine(canvas, btNarrow, c == u'0', true);
        else if (c == u'2')
            DrawBarLine(canvas, btNarrow, false, false);
    }
}

void TKVBarCode::DrawMatrix(TCanvas& canvas, const TSymbol& symbol)
{
    const TBarCodeMatrix& m = symbol.Matrix;
    const int w = Narrow();
    const bool linear = !IsMatrixBarCode(FBarCodeType);
    // Row heights in report pixels across the symbol; a linear symbol's
    // bars take the whole bar height (length, when vertical).
    std::vector<int> rowPixels(std::size_t(m.Rows));
    int total = 0;
    for (int row = 0; row < m.Rows; ++row) {
        rowPixels[std::size_t(row)] = linear ? (FVertical ? FL : FH) : m.RowModules[std::size_t(row)] * w;
        total += rowPixels[std::size_t(row)];
    }
    int across = 0; // from the symbol's top edge (horizontal) to the row
    for (int row = 0; row < m.Rows; ++row) {
        const int rh = rowPixels[std::size_t(row)];
        // Each run of dark modules in a row is one rectangle.
        for (int column = 0; column < m.Columns;) {
            if (!m.IsDark(row, column)) {
                ++column;
                continue;
            }
            int end = column;
            while (end < m.Columns && m.IsDark(row, end))
                ++end;
            const int along = column * w;
            const int length = (end - column) * w;
            // Turned a quarter clockwise: the first column at the top, the
            // first row at the right.
            FillBar(canvas, FVertical ? Bounds(FX + total - across - rh, FY + along, rh, length)
                                      : Bounds(FX + along, FY + across, length, rh));
            column = end;
        }
        across += rh;
    }
}

void TKVBarCode::DrawHumanText(TCanvas& canvas, const QString& text, const TRect& content, int symbolLength,
                               int textHeight)
{
    const int textWidth = canvas.TextWidth(text);
    const TBrushStyle oldStyle = canvas.Brush()->Style();
    canvas.Brush()->SetStyle(bsClear);
    if (!FVertical) {
        // Centred under the bars, never left of the control.
        const int x = std::max(content.Left, content.Left + (symbolLength - textWidth) / 2);
        canvas.TextOut(x, content.Bottom - textHeight, text);
    } else {
        // The horizontal drawing turned a quarter clockwise: the line is at
        // the left, read from top to bottom, its glyphs' tops towards the
        // bars; the reference point is the text cell's top-left corner
        // turned with it, a text height to the right of the control's left.
        TFont* font = canvas.Font();
        const int oldOrientation = font->Orientation();
        font->SetOrientation(2700);
        const int y = std::max(content.Top, content.Top + (symbolLength - textWidth) / 2);
        canvas.TextOut(content.Left + textHeight, y, text);
        font->SetOrientation(oldOrientation);
    }
    canvas.Brush()->SetStyle(oldStyle);
}

void TKVBarCode::Warn(const QString& message) const
{
    TKVReport* report = Report();
    if (!report || !IsGenerating())
        return;
    const TKVXBand* band = GetParentBand();
    report->NoteEvaluationFailure((band ? BandLabel(band) + u'.' : QString()) + ControlLabel(this), FExpression,
                                  message);
}

int TKVBarCode::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    const TRect bounds = rect; // the control's rectangle, before the frame narrows it
    const bool suppressed = IsSuppressedRepetition();
    const int height = TKVXControl::Draw(canvas, rect, tallestSoFar, flags);
    if ((flags & DT_CALCRECT) || suppressed)
        return height;

    const QString data = GetBarCode();
    TSymbol symbol;
    if (!data.isEmpty()) {
        switch (FBarCodeType) {
        case bcCode39: EncodeCode39(data, symbol.Elements, symbol.Text, symbol.Dropped); break;
        case bcInterleaved2of5: symbol.Problem = EncodeI25(data, symbol.Elements, symbol.Text); break;
        case bcPostnet:
            symbol.Kind = TSymbol::Postnet;
            symbol.Problem = EncodePostnet(data, symbol.Elements);
            symbol.Text = data;
            break;
        case bcUPCA: symbol.Problem = EncodeUPCA(data, symbol.Elements, symbol.Text); break;
        default:
            symbol.Kind = TSymbol::Modules;
            symbol.Matrix = EncodeWithZint(FBarCodeType, data, FQRLevel);
            symbol.Problem = symbol.Matrix.Error;
            symbol.Text = symbol.Matrix.Text;
            break;
        }
        const QString quoted = data.size() > 40 ? data.left(40) + QStringLiteral("...") : data;
        if (!symbol.Problem.isEmpty())
            Warn(QStringLiteral("%1 \"%2\" not drawn: %3").arg(BarCodeTypeName(FBarCodeType), quoted, symbol.Problem));
        else if (!symbol.Dropped.isEmpty())
            Warn(QStringLiteral("Code 39 \"%1\": characters it cannot encode left out: %2").arg(quoted, symbol.Dropped));
    }

    if (!data.isEmpty() && symbol.Problem.isEmpty()) {
        // A page keeps every bar; any other canvas shows the control's own
        // rectangle only (the designer).
        FClip.reset();
        if (!dynamic_cast<TMetafileCanvas*>(&canvas))
            FClip = bounds;
        // The bars take the pen colour the frame was drawn with.
        canvas.Brush()->SetColor(canvas.Pen()->Color());
        canvas.Brush()->SetStyle(bsSolid);
        const bool withText = FShowText && !IsMatrixBarCode(FBarCodeType) && !symbol.Text.isEmpty();
        int textHeight = 0;
        if (withText) {
            canvas.SetFont(Font());
            textHeight = canvas.TextHeight(symbol.Text);
        }
        FX = rect.Left;
        FY = rect.Top;
        FH = FVertical ? 0 : std::max(0, rect.Height() - textHeight);
        FL = FVertical ? std::max(0, rect.Width() - textHeight) : 0;
        if (FVertical)
            FX += textHeight;
        int length = 0; // along the symbol, report pixels
        try {
            switch (symbol.Kind) {
            case TSymbol::Bars:
                DrawBarString(canvas, symbol.Elements);
                length = ElementsLength(symbol.Elements, Narrow(), Wide());
                break;
            case TSymbol::Postnet:
                DrawPostnetString(canvas, symbol.Elements);
                length = ElementsLength(symbol.Elements, Narrow(), Wide());
                break;
            case TSymbol::Modules:
                DrawMatrix(canvas, symbol);
                length = symbol.Matrix.Columns * Narrow();
                break;
            }
            if (withText)
                DrawHumanText(canvas, symbol.Text, rect, length, textHeight);
        } catch (const std::exception&) {
            // A failure while drawing bars leaves what was drawn: the report goes on.
        }
        FClip.reset();
    }
    SetPrevValue(GetCurValue());
    return height;
}

bool TKVBarCode::PaintUnseen()
{
    // A class derived from the barcode may do more in Draw.
    if (typeid(*this) != typeid(TKVBarCode))
        return false;
    PaintUnseenBackground();
    SetPrevValue(GetCurValue());
    return true;
}

} // namespace vorel
