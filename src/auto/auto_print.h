#pragma once
// The common base of the automatic reports (reports laid out from data
// without a designed form): header and footer lines in a small macro
// language, a row style with alternating colours, highlights and one text
// drawing call every automatic report goes through (KVXDrawText), and the
// page start that prints the header and reserves the footer.
//
// Macros of a header or footer line, with M the MacroChar ("%"):
//   M A / M O       the line prints on every page / once (at the report's
//                   start for the header, its end for the footer); without
//                   either the line prints once
//   M L, M R, M C   left, right, centred
//   M D, M DT, M T  date, date and time, time
//   M PN, M PC      page number, page count (P takes the next character)
//   M BN, M BC      bar number, bar count (B takes the next character)
//   M FT .. M FF    a rule: top, bottom, left, right, horizontal and
//                   vertical centre line, frame
//   M IT, IB, IP    a picture at the top, the bottom or over the page; the
//                   rest of the line is its file name
//   M M             the macro character itself
// Any other character after M drops M and keeps the character.

#include "data/data_manager.h"
#include "foundation/records/alignment.h"
#include "frame/print_component.h"
#include "graphics/canvas.h"
#include "graphics/graphics_types.h"

#include <QList>
#include <functional>

namespace vorel {

class TKVXAutoEnums {
    Q_GADGET
public:
    enum TKVXRowStyle {
        rsNormal,
        rsPriceList,
        rsMSMoney,
        rsBrick,
        rsDesert,
        rsEggplant,
        rsLilac,
        rsMaple,
        rsMarine,
        rsRose,
        rsSpruce,
        rsWheat
    };
    Q_ENUM(TKVXRowStyle)
    Q_CLASSINFO("Doc.rsNormal", "Rows are not filled; OddColor and EvenColor keep what was set.")
    Q_CLASSINFO("Doc.rsPriceList", "Light grey and white rows.")
    Q_CLASSINFO("Doc.rsMSMoney", "Pale blue and window-coloured rows.")
    Q_CLASSINFO("Doc.rsBrick", "Pale and darker brick-coloured rows.")
    Q_CLASSINFO("Doc.rsDesert", "Pale and darker sand-coloured rows.")
    Q_CLASSINFO("Doc.rsEggplant", "Pale and darker eggplant-coloured rows.")
    Q_CLASSINFO("Doc.rsLilac", "Pale and darker lilac rows.")
    Q_CLASSINFO("Doc.rsMaple", "Pale and darker maple-coloured rows.")
    Q_CLASSINFO("Doc.rsMarine", "Pale and darker marine rows.")
    Q_CLASSINFO("Doc.rsRose", "Pale and darker rose rows.")
    Q_CLASSINFO("Doc.rsSpruce", "Pale and darker spruce-green rows.")
    Q_CLASSINFO("Doc.rsWheat", "Pale and darker wheat-coloured rows.")

    // Rules a header or footer line draws over itself.
    enum TBevel {
        bvTopLine = 1,
        bvBottomLine = 2,
        bvLeftLine = 4,
        bvRightLine = 8,
        bvHCenterLine = 16,
        bvVCenterLine = 32,
        bvFrame = 64
    };
    // Where a header or footer picture goes.
    enum TImageAlign { iaTopPage, iaBottomPage, iaWholePage };
};
using TKVXRowStyle = TKVXAutoEnums::TKVXRowStyle;
using enum TKVXAutoEnums::TKVXRowStyle;
using TBevel = TKVXAutoEnums::TBevel;
using enum TKVXAutoEnums::TBevel;
using TBevels = unsigned; // TBevel bits
using TImageAlign = TKVXAutoEnums::TImageAlign;
using enum TKVXAutoEnums::TImageAlign;

// The row style of an automatic report.
class TKVXStyle : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "How an automatic report's table looks: repeated title rows and columns, and the colours of "
                       "alternating rows.")
    Q_PROPERTY(bool FixedCols READ FixedCols WRITE SetFixedCols)
    Q_CLASSINFO("Doc.FixedCols", "Fixed columns (record numbers, a grid's fixed columns) repeat on every bar of a "
                                 "table wider than the page.")
    Q_PROPERTY(bool FixedRows READ FixedRows WRITE SetFixedRows)
    Q_CLASSINFO("Doc.FixedRows", "Column titles (a grid's fixed rows) repeat at the top of every page; off, they "
                                 "print on the first page only.")
    Q_PROPERTY(vorel::TKVXAutoEnums::TKVXRowStyle RowStyle READ RowStyle WRITE SetRowStyle)
    Q_CLASSINFO("Doc.RowStyle", "A colour scheme for alternating rows; setting it sets OddColor and EvenColor.")
    Q_PROPERTY(vorel::TColor OddColor READ OddColor WRITE SetOddColor)
    Q_CLASSINFO("Doc.OddColor", "Fill of the first, third, ... row when RowStyle is not rsNormal.")
    Q_PROPERTY(vorel::TColor EvenColor READ EvenColor WRITE SetEvenColor)
    Q_CLASSINFO("Doc.EvenColor", "Fill of the second, fourth, ... row when RowStyle is not rsNormal.")
public:
    Q_INVOKABLE explicit TKVXStyle(QObject* owner = nullptr) : TPersistent(owner) {}

    bool FixedCols() const { return FFixedCols; }
    void SetFixedCols(bool value) { FFixedCols = value; }
    bool FixedRows() const { return FFixedRows; }
    void SetFixedRows(bool value) { FFixedRows = value; }
    TKVXRowStyle RowStyle() const { return FRowStyle; }
    // Sets the two colours of the scheme (rsNormal leaves them).
    void SetRowStyle(TKVXRowStyle value);
    TColor OddColor() const { return FOddColor; }
    void SetOddColor(TColor value) { FOddColor = value; }
    TColor EvenColor() const { return FEvenColor; }
    void SetEvenColor(TColor value) { FEvenColor = value; }
    void Assign(const TPersistent* source) override;

private:
    bool FFixedCols = true;
    bool FFixedRows = true;
    TKVXRowStyle FRowStyle = rsNormal;
    TColor FOddColor = clWhite;
    TColor FEvenColor = clWhite;
};

// One column of an automatic table; rebuilt at every preparation.
struct TColumnInfo {
    QString FieldName;
    QString Caption;
    TAlignment Alignment = taLeftJustify;
    TAlignment HeaderAlignment = taLeftJustify;
    int Position = 0; // report pixels from the table's left edge
    int Width = 0;    // report pixels
    bool WordWrap = false;
    bool IsFixed = false; // repeated on every bar
    const TFont* DataFont = nullptr;
    const TFont* TitleFont = nullptr;
};

// Where a column prints on the current bar.
struct TCellPlace {
    int Column = 0; // index in the column list
    int Left = 0;   // report pixels on the page
};

// (Canvas, var Text, Rect, var Flags, var ResultHeight, var DrawDefault).
using TOnDrawTextEvent =
    std::function<void(TCanvas& canvas, QString& text, const TRect& rect, unsigned& flags, int& resultHeight, bool& drawDefault)>;

class TKVAutoPrint : public TKVPrintComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of the automatic reports: header and footer lines with macros, row style, "
                       "highlights and grid lines.")
    Q_PROPERTY(bool AnimatedStatus READ AnimatedStatus WRITE SetAnimatedStatus)
    Q_CLASSINFO("Doc.AnimatedStatus", "Shows a progress display, with a way to cancel, while the report prepares.")
    Q_PROPERTY(vorel::TKVXFrame* Frame READ Frame WRITE SetFrame)
    Q_CLASSINFO("Doc.Frame", "The page frame drawn on every page: border lines, background colour and picture.")
    Q_PROPERTY(vorel::TKVXPrinter* PrinterSetting READ PrinterSetting WRITE SetPrinterSetting)
    Q_CLASSINFO("Doc.PrinterSetting", "Printer, paper size and orientation, margins, paper source, duplex and copies.")
    Q_PROPERTY(vorel::TKVXStyle* Style READ Style WRITE SetStyle)
    Q_CLASSINFO("Doc.Style", "Repeated titles and columns, and the colours of alternating rows.")
    Q_PROPERTY(QString MacroChar READ MacroChar WRITE SetMacroChar)
    Q_CLASSINFO("Doc.MacroChar", "The character that starts a macro in Header and Footer; changing it rewrites "
                                 "both.")
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_CLASSINFO("Doc.WordWrap", "Header, footer and cell texts wrap at blanks instead of running on.")
    Q_PROPERTY(vorel::TStringList* Header READ Header WRITE SetHeader)
    Q_CLASSINFO("Doc.Header", "Lines above the table; macros give alignment, page numbers, dates, rules and "
                              "pictures (docs/AUTOMATIC.md).")
    Q_PROPERTY(vorel::TFont* HeaderFont READ HeaderFont WRITE SetHeaderFont)
    Q_CLASSINFO("Doc.HeaderFont", "The font of the header lines.")
    Q_PROPERTY(vorel::TStringList* Footer READ Footer WRITE SetFooter)
    Q_CLASSINFO("Doc.Footer", "Lines at the bottom of the page (with %A) or after the table, with the header's "
                              "macros.")
    Q_PROPERTY(vorel::TFont* FooterFont READ FooterFont WRITE SetFooterFont)
    Q_CLASSINFO("Doc.FooterFont", "The font of the footer lines.")
    Q_PROPERTY(vorel::TKVXHighLights* HighLights READ HighLights WRITE SetHighLights)
    Q_CLASSINFO("Doc.HighLights", "Conditions over the current record that change the font and background of the "
                                  "texts printed while they hold; the first that holds wins.")
public:
    Q_INVOKABLE explicit TKVAutoPrint(QObject* owner = nullptr);
    ~TKVAutoPrint() override;

    TKVXStyle* Style() const { return FStyle; }
    void SetStyle(const TKVXStyle* value);
    QString MacroChar() const { return QString(FMacroChar); }
    // One character; replaces the old one in Header and Footer.
    void SetMacroChar(const QString& value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value) { FWordWrap = value; }
    TStringList* Header() const { return FHeader; }
    void SetHeader(const TStringList* value);
    TFont* HeaderFont() const { return FHeaderFont; }
    void SetHeaderFont(const TFont* value);
    TStringList* Footer() const { return FFooter; }
    void SetFooter(const TStringList* value);
    TFont* FooterFont() const { return FFooterFont; }
    void SetFooterFont(const TFont* value);
    // The pen of the grid lines (colour: the system's button shadow). Not
    // stored in forms yet: see docs/STATUS.md.
    TPen* GridLine() const { return FGridLine; }
    void SetGridLine(const TPen* value);
    TKVXHighLights* HighLights() const { return FHighLights; }
    void SetHighLights(const TKVXHighLights* value);

    TOnDrawTextEvent OnDrawText;

    // The expressions of highlights read the data sets of this manager.
    TKVXDataManager* DataManager() const { return FDataManager; }

    // Expands the macros of one line. Returns whether the line prints in
    // this call (every page or once, see the file comment); the out
    // arguments say how.
    bool EvaluateMacro(QString& text, TAlignment& alignment, TBevels& rule, QString& pictureFile,
                       TImageAlign& pictureAlign, bool everyPage);
    // Prints (or only measures) the lines at intCurHeight; returns their
    // height in report pixels and, unless measuring, moves intCurHeight down.
    int PrintStrings(const TStringList* lines, const TFont* font, bool everyPage, bool measureOnly);
    void PrintBevel(TBevels rule, int left, int bottom, int right, int top);
    // The one text output of the automatic reports: highlights, then
    // OnDrawText, then the canvas's formatted text. Returns the height.
    int KVXDrawText(TCanvas& canvas, const QString& text, unsigned flags, TRect rect);

    void NewPage(bool newBar) override;
    void EndDoc() override;

    // Whether column titles are still due on the current page.
    bool boolNeedPrintHeaderGrid = false;

protected:
    // The printable width of the current page in report pixels.
    int PrintableWidth() const;
    int PageLeft() const;
    // The header's once-lines at the report's start; the footer's once-lines
    // after the table (on a new page when they do not fit).
    void PrintReportHeader();
    void PrintReportFooter();
    // Vertical grid lines are drawn once for each run of rows on a page,
    // not cell by cell: a table's page then holds a few long lines instead
    // of one short line per cell, which keeps pages and exports small.
    // SetGridColumns gives the x positions of the lines (report pixels;
    // none: no vertical lines), GridRowDrawn marks a row drawn from `top`
    // down to where intCurHeight will be, FlushGridLines draws the lines of
    // the run so far (NewPage does it for the page it closes).
    void SetGridColumns(const QList<int>& xs);
    void GridRowDrawn(int top);
    void FlushGridLines();
    // Row fill for row styles: odd row numbers (1, 3, ...) take EvenColor,
    // even ones OddColor, as the classic style tables were made for.
    void FillRow(int rowNumber, int left, int width, int height);

private:
    TKVXStyle* FStyle;
    QChar FMacroChar = u'%';
    bool FWordWrap = false;
    TStringList* FHeader;
    TFont* FHeaderFont;
    TStringList* FFooter;
    TFont* FFooterFont;
    TPen* FGridLine;
    TKVXHighLights* FHighLights;
    TKVXDataManager* FDataManager;
    QList<int> FGridXs;
    int FGridTop = -1; // report pixels; -1: no row drawn since the last flush
};

// Lays the columns out: every width times the AutoFit factor (printable
// width / total width; 1 without AutoFit or without width), positions with
// the gaps, and with AutoFit the last column stretched to end at the
// printable width. Shared by the table and the grid reports.
void LayoutColumns(QList<TColumnInfo>& columns, bool autoFit, int printableWidth, int gapHorizontal);
// The columns a bar prints: the fixed columns before `start` (later bars
// only), then start..end, placed from `left` with the gaps. Sets tableWidth.
QList<TCellPlace> BarColumns(const QList<TColumnInfo>& columns, int start, int end, int left, int gapHorizontal,
                             int& tableWidth);
// The last column from `start` whose bar still fits maxWidth (the fixed
// columns repeated before it counted), at least `start`.
int LastFittingColumn(const QList<TColumnInfo>& columns, int start, int maxWidth, int gapHorizontal);

// Registers the automatic report classes with the class registry.
void RegisterAutoClasses();

} // namespace vorel
