#pragma once
// TKVBarCode: a barcode for a text from its own Value or from a data set
// field. The classic four symbologies (Code 39, Interleaved 2 of 5, POSTNET,
// UPC-A) are encoded here; the later ones (Code 128, GS1-128, EAN-13, EAN-8,
// UPC-E, QR Code, Data Matrix, PDF417) by libzint, which only encodes: every
// symbology is drawn by this control as filled rectangles at whole report
// pixels on the page canvas, so each export gets the bars as they are.
// No quiet zone or border is added; frame and background come from the
// control base. Text that a symbology cannot hold draws nothing and, while
// the report generates, leaves a warning naming the control and the reason.

#include "model/control.h"

#include <algorithm>
#include <optional>

namespace vorel {

class TKVBarCodeEnums {
    Q_GADGET
public:
    // The classic four first, in their order, so that older forms keep
    // their meaning; the libzint symbologies after them.
    enum TBarCodeType {
        bcCode39,
        bcInterleaved2of5,
        bcPostnet,
        bcUPCA,
        bcCode128,
        bcGS1128,
        bcEAN13,
        bcEAN8,
        bcUPCE,
        bcQRCode,
        bcDataMatrix,
        bcPDF417
    };
    Q_ENUM(TBarCodeType)
    Q_CLASSINFO("Doc.bcCode39", "Code 39: digits, upper-case letters (the value is upper-cased) and - . $ / + % and "
                                "blank; other characters are left out.")
    Q_CLASSINFO("Doc.bcInterleaved2of5", "Interleaved 2 of 5: digits only; an odd count gets a leading 0.")
    Q_CLASSINFO("Doc.bcPostnet", "POSTNET: digits, '-' and '/' (skipped); a check digit is added.")
    Q_CLASSINFO("Doc.bcUPCA", "UPC-A: exactly 11 digits; the check digit is added.")
    Q_CLASSINFO("Doc.bcCode128", "Code 128: any text in Latin-1, encoded as it stands.")
    Q_CLASSINFO("Doc.bcGS1128", "GS1-128: application identifiers in parentheses with their data, e.g. "
                                "(01)09501101530003.")
    Q_CLASSINFO("Doc.bcEAN13", "EAN-13: 12 digits, or 13 with a check digit that must be right.")
    Q_CLASSINFO("Doc.bcEAN8", "EAN-8: 7 digits, or 8 with a check digit that must be right.")
    Q_CLASSINFO("Doc.bcUPCE", "UPC-E: 6 or 7 digits (the first of 7 the number system, 0 or 1), or 8 with the check "
                              "digit.")
    Q_CLASSINFO("Doc.bcQRCode", "QR Code: any text in UTF-8, error correction by QRLevel, the smallest version "
                                "that holds it.")
    Q_CLASSINFO("Doc.bcDataMatrix", "Data Matrix (ECC 200): any text in UTF-8, the smallest square symbol that "
                                    "holds it.")
    Q_CLASSINFO("Doc.bcPDF417", "PDF417: a stacked symbol for any text, rows three modules high.")

    // The error-correction level of QR Code: the share of the symbol that
    // may be damaged and still read.
    enum TQRLevel { qlL, qlM, qlQ, qlH };
    Q_ENUM(TQRLevel)
    Q_CLASSINFO("Doc.qlL", "About 7 % may be damaged; the smallest symbol.")
    Q_CLASSINFO("Doc.qlM", "About 15 % may be damaged.")
    Q_CLASSINFO("Doc.qlQ", "About 25 % may be damaged.")
    Q_CLASSINFO("Doc.qlH", "About 30 % may be damaged; the largest symbol.")
};
using TBarCodeType = TKVBarCodeEnums::TBarCodeType;
using TQRLevel = TKVBarCodeEnums::TQRLevel;
using enum TKVBarCodeEnums::TBarCodeType;
using enum TKVBarCodeEnums::TQRLevel;

enum TBarType { btNarrow, btWide };

constexpr int KVX_TEXT_BARCODE = 1020;      // "BarCode"
constexpr int KVX_TEXT_ADD_BARCODE = 1918;  // "Add a barcode", the palette hint

// Whether the symbology is one of the classic four (upper-cased text, the
// element drawing with NarrowWidth and WideWidth).
bool IsClassicBarCode(TBarCodeType type);
// Whether the symbology is a two-dimensional one (no human-readable line).
bool IsMatrixBarCode(TBarCodeType type);
// "Code 39", "QR Code", ...: the symbology's name in messages.
QString BarCodeTypeName(TBarCodeType type);

class TKVBarCode : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A barcode for a fixed text or a field's text: Code 39, Interleaved 2 of 5, POSTNET, UPC-A, "
                       "Code 128, GS1-128, EAN-13, EAN-8, UPC-E, QR Code, Data Matrix or PDF417. The bars take the "
                       "colour of the control's Frame; no quiet zone is added, so leave room around it.")
    Q_PROPERTY(vorel::TKVBarCodeEnums::TBarCodeType BarCodeType READ BarCodeType WRITE SetBarCodeType)
    Q_CLASSINFO("Doc.BarCodeType", "The symbology.")
    Q_PROPERTY(QString Value READ Value WRITE SetValue)
    Q_CLASSINFO("Doc.Value", "The text encoded when Expression is empty.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "The field, as 'DataSet.Field', whose text is encoded; empty: Value is.")
    Q_PROPERTY(bool Vertical READ Vertical WRITE SetVertical)
    Q_CLASSINFO("Doc.Vertical", "True: the symbol is turned a quarter clockwise, its first bar at the top, each bar a "
                                "strip across the control's width.")
    Q_PROPERTY(int NarrowWidth READ NarrowWidth WRITE SetNarrowWidth)
    Q_CLASSINFO("Doc.NarrowWidth", "The width of a narrow bar or space in report pixels; for the symbologies after "
                                   "UPC-A the module size (of a square module in two-dimensional symbols). Below 1 "
                                   "counts as 1.")
    Q_PROPERTY(int WideWidth READ WideWidth WRITE SetWideWidth)
    Q_CLASSINFO("Doc.WideWidth", "The width of a wide bar or space in report pixels (Code 39 and Interleaved 2 of "
                                 "5). Below 1 counts as 1.")
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_CLASSINFO("Doc.ShowText", "True: a line of human-readable text in the control's Font under a linear symbol "
                                "(beside it when Vertical); the bars get shorter by its height.")
    Q_PROPERTY(vorel::TKVBarCodeEnums::TQRLevel QRLevel READ QRLevel WRITE SetQRLevel)
    Q_CLASSINFO("Doc.QRLevel", "The error-correction level of a QR Code.")
public:
    Q_INVOKABLE explicit TKVBarCode(QObject* owner = nullptr);

    TBarCodeType BarCodeType() const { return FBarCodeType; }
    void SetBarCodeType(TBarCodeType value);
    QString Value() const { return FValue; }
    // A display name equal to the old value follows the new one.
    void SetValue(const QString& value);
    QString Expression() const { return FExpression; }
    // A display name equal to the old expression follows the new one.
    void SetExpression(const QString& value);
    bool Vertical() const { return FVertical; }
    void SetVertical(bool value);
    int NarrowWidth() const { return FNarrowWidth; }
    void SetNarrowWidth(int value);
    int WideWidth() const { return FWideWidth; }
    void SetWideWidth(int value);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    TQRLevel QRLevel() const { return FQRLevel; }
    void SetQRLevel(TQRLevel value);

    // The text to encode: Value, or the text of the field Expression names
    // (empty when the data set or field cannot be found). Upper-cased
    // (ASCII letters) for the classic symbologies only.
    QString GetBarCode() const;

    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override;
    // A barcode only paints: the highlights and the previous value are all
    // there is beyond the canvas.
    bool PaintUnseen() override;

    // The primitive every symbology draws with, at the pen position of the
    // current Draw: a bar (black) or a space of the type's width, full or
    // short (POSTNET's 40 %); the pen then moves on by that width.
    void DrawBarLine(TCanvas& canvas, TBarType barType, bool isShort, bool black);
    // "0" narrow bar, "1" narrow space, "2" wide bar, "3" wide space.
    void DrawBarString(TCanvas& canvas, QStringView elements);
    // "0" short bar, "1" tall bar, "2" space, all narrow.
    void DrawPostnetString(TCanvas& canvas, QStringView elements);

private:
    struct TSymbol;
    // Fills r with the bar colour, unless the canvas is not a page and r
    // reaches past the control's edge (the designer's view is clipped to
    // the control; a page keeps every bar).
    void FillBar(TCanvas& canvas, const TRect& r);
    void DrawMatrix(TCanvas& canvas, const TSymbol& symbol);
    void DrawHumanText(TCanvas& canvas, const QString& text, const TRect& content, int symbolLength, int textHeight);
    // Leaves a warning with the report while it generates.
    void Warn(const QString& message) const;
    int Narrow() const { return std::max(1, FNarrowWidth); }
    int Wide() const { return std::max(1, FWideWidth); }

    TBarCodeType FBarCodeType = bcPostnet;
    QString FValue = QStringLiteral("00000-0000");
    QString FExpression;
    bool FVertical = false;
    int FNarrowWidth = 1; // report pixels
    int FWideWidth = 3;   // report pixels
    bool FShowText = false;
    TQRLevel FQRLevel = qlM;

    // Drawing state, valid during one Draw (report pixels): the pen
    // position, the bar height (horizontal) or length (vertical), and the
    // control's rectangle on a canvas that clips to it.
    int FX = 0;
    int FY = 0;
    int FH = 0;
    int FL = 0;
    std::optional<TRect> FClip;
};

} // namespace vorel
