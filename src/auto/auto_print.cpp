// The common base of the automatic reports: style, macros, header and
// footer, highlights and the page start.

#include "auto/auto_print.h"

#include "expr/expressions.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/errors.h"
#include "graphics/metafile_canvas.h"
#include "graphics/picture.h"

#include <QFileInfo>

namespace vorel {

namespace {
constexpr int kTextPageNo = 1828; // "page #"
constexpr int kTextSheet = 1831;  // "Sheet"
} // namespace

// --- style ----------------------------------------------------------------------------------

void TKVXStyle::SetRowStyle(TKVXRowStyle value)
{
    FRowStyle = value;
    // Colours in the classic 0x00BBGGRR layout.
    struct TScheme {
        TColor Odd;
        TColor Even;
    };
    static const TScheme schemes[] = {
        {clWhite, clWhite},                   // rsNormal: unchanged (not used)
        {cl3DLight, TColor(0xFFFFFF)},        // rsPriceList
        {TColor(0xFFFBF0), clWindow},         // rsMSMoney
        {TColor(0xCFDFDF), TColor(0xA0BFBF)}, // rsBrick
        {TColor(0xB8CCD8), TColor(0x688CA0)}, // rsDesert
        {TColor(0xA8B090), TColor(0x788058)}, // rsEggplant
        {TColor(0xD8A8B0), TColor(0xB05058)}, // rsLilac
        {TColor(0xA8D8EB), TColor(0x48A8C8)}, // rsMaple
        {TColor(0xB8C088), TColor(0x889048)}, // rsMarine
        {TColor(0xB8B0D0), TColor(0x7060A0)}, // rsRose
        {TColor(0xA8C8A0), TColor(0x689858)}, // rsSpruce
        {TColor(0xA0E0E0), TColor(0x40BCC0)}, // rsWheat
    };
    if (value != rsNormal && int(value) > 0 && int(value) < int(std::size(schemes))) {
        FOddColor = schemes[value].Odd;
        FEvenColor = schemes[value].Even;
    }
}

void TKVXStyle::Assign(const TPersistent* source)
{
    if (const auto* other = qobject_cast<const TKVXStyle*>(source)) {
        FFixedCols = other->FFixedCols;
        FFixedRows = other->FFixedRows;
        FRowStyle = other->FRowStyle;
        FOddColor = other->FOddColor;
        FEvenColor = other->FEvenColor;
        return;
    }
    TPersistent::Assign(source);
}

// --- construction ---------------------------------------------------------------------------

TKVAutoPrint::TKVAutoPrint(QObject* owner)
    : TKVPrintComponent(owner),
      FStyle(new TKVXStyle(this)),
      FHeader(new TStringList(this)),
      FHeaderFont(new TFont(this)),
      FFooter(new TStringList(this)),
      FFooterFont(new TFont(this)),
      FGridLine(new TPen(this)),
      FHighLights(new TKVXHighLights(this)),
      // Not a child component: forms store a report's child components, and
      // this one is the report's own working object, made anew each time.
      FDataManager(new TKVXDataManager(nullptr))
{
    FHeader->Add(QStringLiteral("%A%L%DT%FB"));
    FHeader->Add(QStringLiteral(" "));
    FFooter->Add(QStringLiteral("%A%R") + GetString(0, kTextPageNo) + QStringLiteral("%PN/") + GetString(0, kTextSheet)
                 + QStringLiteral("%BN"));
    FGridLine->SetColor(clBtnShadow);
}

TKVAutoPrint::~TKVAutoPrint()
{
    delete FDataManager;
}

void TKVAutoPrint::SetStyle(const TKVXStyle* value)
{
    if (value && value != FStyle)
        FStyle->Assign(value);
}

void TKVAutoPrint::SetMacroChar(const QString& value)
{
    if (value.size() != 1)
        throw EKVXError(QStringLiteral("MacroChar must be one character, not \"%1\"").arg(value));
    const QChar old = FMacroChar;
    FMacroChar = value.at(0);
    if (old == FMacroChar)
        return;
    for (TStringList* lines : {FHeader, FFooter}) {
        QStringList list = lines->List();
        for (QString& line : list)
            line.replace(old, FMacroChar);
        lines->SetList(list);
    }
}

void TKVAutoPrint::SetHeader(const TStringList* value)
{
    if (value && value != FHeader)
        FHeader->Assign(value);
}

void TKVAutoPrint::SetHeaderFont(const TFont* value)
{
    if (value && value != FHeaderFont)
        FHeaderFont->Assign(value);
}

void TKVAutoPrint::SetFooter(const TStringList* value)
{
    if (value && value != FFooter)
        FFooter->Assign(value);
}

void TKVAutoPrint::SetFooterFont(const TFont* value)
{
    if (value && value != FFooterFont)
        FFooterFont->Assign(value);
}

void TKVAutoPrint::SetGridLine(const TPen* value)
{
    if (value && value != FGridLine)
        FGridLine->Assign(value);
}

void TKVAutoPrint::SetHighLights(const TKVXHighLights* value)
{
    if (value && value != FHighLights)
        FHighLights->Assign(value);
}

// --- macros ---------------------------------------------------------------------------------

bool TKVAutoPrint::EvaluateMacro(QString& text, TAlignment& alignment, TBevels& rule, QString& pictureFile,
                                 TImageAlign& pictureAlign, bool everyPage)
{
    alignment = taLeftJustify;
    rule = 0;
    bool result = !everyPage;
    const QString line = text;
    QString out;
    out.reserve(line.size());
    const qsizetype n = line.size();
    const auto at = [&](qsizetype k) { return k < n ? line.at(k).toUpper() : QChar(); };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line.at(i);
        if (c != FMacroChar) {
            out += c;
            continue;
        }
        if (i + 1 >= n)
            break; // a macro character ending the line stands for nothing
        const QChar code = at(i + 1);
        i += 1; // i is on the code letter now
        if (line.at(i) == FMacroChar) {
            out += FMacroChar;
        } else if (code == u'A') {
            result = everyPage;
        } else if (code == u'O') {
            result = !everyPage;
        } else if (code == u'L') {
            alignment = taLeftJustify;
        } else if (code == u'R') {
            alignment = taRightJustify;
        } else if (code == u'C') {
            alignment = taCenter;
        } else if (code == u'D') {
            if (at(i + 1) == u'T') {
                out += DateTimeToStr(Now());
                ++i;
            } else {
                out += DateToStr(Now());
            }
        } else if (code == u'T') {
            out += TimeToStr(Now());
        } else if (code == u'P' || code == u'B') {
            // P and B take the next character whatever it is; at the end of
            // the line there is none to take.
            const bool count = at(i + 1) == u'C';
            if (i + 1 < n)
                ++i;
            const int value = code == u'P' ? (count ? GetNumPages() : intCurPage + 1)
                                           : (count ? GetNumBars() : intCurBar + 1);
            out += QString::number(value);
        } else if (code == u'F' && QStringView(u"TBLRCSF").contains(at(i + 1))) {
            static const TBevels bevels[] = {bvTopLine,     bvBottomLine,  bvLeftLine, bvRightLine,
                                             bvHCenterLine, bvVCenterLine, bvFrame};
            rule |= bevels[QStringView(u"TBLRCSF").indexOf(at(i + 1))];
            ++i;
        } else if (code == u'I' && QStringView(u"TBP").contains(at(i + 1))) {
            const QChar where = at(i + 1);
            pictureAlign = where == u'T' ? iaTopPage : where == u'B' ? iaBottomPage : iaWholePage;
            pictureFile = line.mid(i + 2).trimmed();
            break;
        } else {
            out += line.at(i); // unknown code: the macro character goes, the letter stays
        }
    }
    text = out;
    return result;
}

// --- header, footer, page start ---------------------------------------------------------------

int TKVAutoPrint::PageLeft() const
{
    const TPageInfo* page = CurrentPage();
    return page ? page->OffsetLeft : 0;
}

int TKVAutoPrint::PrintableWidth() const
{
    const TPageInfo* page = CurrentPage();
    return page ? page->PageWidth() - page->OffsetLeft - page->OffsetRight : 0;
}

int TKVAutoPrint::PrintStrings(const TStringList* lines, const TFont* font, bool everyPage, bool measureOnly)
{
    TCanvas* canvas = MFCanvas();
    if (!canvas || !lines || lines->Count() == 0)
        return 0;
    const int left = PageLeft();
    const int right = left + PrintableWidth();
    canvas->SetFont(font);
    TImageAlign pictureAlign = iaWholePage;
    QString pictureFile;
    bool pictureMet = false;
    int total = 0;
    for (int i = 0; i < lines->Count() && !pictureMet; ++i) {
        QString text = lines->Strings(i);
        TAlignment alignment = taLeftJustify;
        TBevels rule = 0;
        QString file;
        if (!EvaluateMacro(text, alignment, rule, file, pictureAlign, everyPage))
            continue;
        if (!file.isEmpty()) {
            // The picture line and the lines after it are no text.
            pictureFile = file;
            pictureMet = true;
            break;
        }
        if (text.isEmpty())
            text = QStringLiteral(" ");
        const int top = intCurHeight + total;
        unsigned flags = DT_NOPREFIX | DT_EXTERNALLEADING;
        if (alignment == taRightJustify)
            flags |= DT_RIGHT;
        else if (alignment == taCenter)
            flags |= DT_CENTER;
        if (FWordWrap)
            flags |= DT_WORDBREAK;
        if (measureOnly)
            flags |= DT_CALCRECT;
        canvas->SetFont(font);
        const int h = KVXDrawText(*canvas, text, flags, TRect{left, top, right, intMaxPageHeight});
        intLastPageHeight = h;
        if (!measureOnly && rule)
            PrintBevel(rule, left, top + h, right, top);
        total += h;
    }
    if (!pictureFile.isEmpty() && QFileInfo(pictureFile).isFile()) {
        TPicture picture;
        picture.LoadFromFile(pictureFile);
        // An empty picture takes no room (and has no proportions to keep).
        const int height = picture.Empty() ? 0 : picture.Height();
        if (pictureAlign != iaWholePage)
            total = std::max(total, height);
        if (!measureOnly && !picture.Empty() && picture.Graphic()) {
            const TPageInfo* page = CurrentPage();
            const int top = page ? page->OffsetTop : 0;
            TRect r{left, top, right, intMaxPageHeight};
            if (pictureAlign == iaTopPage)
                r.Bottom = top + total;
            else if (pictureAlign == iaBottomPage)
                r.Top = intMaxPageHeight - total;
            canvas->StretchDraw(r, *picture.Graphic());
        }
    }
    if (!measureOnly)
        intCurHeight += total;
    return total;
}

void TKVAutoPrint::PrintBevel(TBevels rule, int left, int bottom, int right, int top)
{
    TCanvas* canvas = MFCanvas();
    if (!canvas)
        return;
    const auto line = [canvas](int x1, int y1, int x2, int y2) {
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    if (rule & bvTopLine)
        line(left, top, right, top);
    if (rule & bvBottomLine)
        line(left, bottom, right, bottom);
    if (rule & bvLeftLine)
        line(left, top, left, bottom);
    if (rule & bvRightLine)
        line(right, top, right, bottom);
    if (rule & bvHCenterLine)
        line(left, (top + bottom) / 2, right, (top + bottom) / 2);
    if (rule & bvVCenterLine)
        line((left + right) / 2, top, (left + right) / 2, bottom);
    if (rule & bvFrame) {
        const TBrushStyle style = canvas->Brush()->Style();
        canvas->Brush()->SetStyle(bsClear);
        canvas->Rectangle(left, top, right, bottom);
        canvas->Brush()->SetStyle(style);
    }
}

void TKVAutoPrint::SetGridColumns(const QList<int>& xs)
{
    FlushGridLines();
    FGridXs = xs;
}

void TKVAutoPrint::GridRowDrawn(int top)
{
    if (FGridTop < 0)
        FGridTop = top;
}

void TKVAutoPrint::FlushGridLines()
{
    TCanvas* canvas = MFCanvas();
    if (FGridTop >= 0 && canvas && intCurHeight > FGridTop) {
        canvas->SetPen(FGridLine);
        for (int x : FGridXs) {
            canvas->MoveTo(x, FGridTop);
            canvas->LineTo(x, intCurHeight);
        }
    }
    FGridTop = -1;
}

void TKVAutoPrint::NewPage(bool newBar)
{
    FlushGridLines(); // the lines of the page being closed
    TKVPrintComponent::NewPage(newBar);
    // The footer stands above the bottom offset, as a designed report's
    // page footer does (the frame's limit is the top offset from the end).
    if (const TPageInfo* page = CurrentPage())
        intMaxPageHeight = page->PageHeight() - page->OffsetBottom;
    // The frame leaves a solid brush; texts print without a background box.
    MFCanvas()->Brush()->SetStyle(bsClear);
    MFCanvas()->SetPen(FGridLine);
    boolNeedPrintHeaderGrid = true;
    PrintStrings(FHeader, FHeaderFont, true, false);
    const int footer = PrintStrings(FFooter, FFooterFont, true, true);
    if (footer > 0) {
        const int below = intCurHeight;
        intCurHeight = intMaxPageHeight - footer;
        PrintStrings(FFooter, FFooterFont, true, false);
        intMaxPageHeight -= footer;
        intCurHeight = below;
    }
}

void TKVAutoPrint::EndDoc()
{
    FlushGridLines();
    TKVPrintComponent::EndDoc();
}

void TKVAutoPrint::PrintReportHeader()
{
    PrintStrings(FHeader, FHeaderFont, false, false);
}

void TKVAutoPrint::PrintReportFooter()
{
    FlushGridLines();
    const int height = PrintStrings(FFooter, FFooterFont, false, true);
    if (height <= 0)
        return;
    if (intCurHeight + height > intMaxPageHeight)
        NewPage(false);
    PrintStrings(FFooter, FFooterFont, false, false);
}

void TKVAutoPrint::FillRow(int rowNumber, int left, int width, int height)
{
    if (FStyle->RowStyle() == rsNormal || height <= 0)
        return;
    TCanvas* canvas = MFCanvas();
    canvas->Brush()->SetColor(rowNumber % 2 != 0 ? FStyle->EvenColor() : FStyle->OddColor());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(TRect{left, intCurHeight, left + width, intCurHeight + height});
    canvas->Brush()->SetStyle(bsClear);
}

// --- text drawing ---------------------------------------------------------------------------

int TKVAutoPrint::KVXDrawText(TCanvas& canvas, const QString& text, unsigned flags, TRect rect)
{
    if (FHighLights->Count() > 0 && !(flags & DT_CALCRECT)) {
        if (FDataManager->Datasets()->Count() == 0) {
            auto* owner = qobject_cast<TComponent*>(parent());
            FDataManager->FillDatasetList(owner ? owner : Application(), nullptr);
        }
        const TGetVariableEvent lookup = [this](QObject* sender, const QString& name, bool& accept,
                                                TFieldType& type, Variant& value) {
            KVXGetVariable(sender, name, accept, type, value);
        };
        for (int i = 0; i < FHighLights->Count(); ++i) {
            const TKVXHighLight* highLight = FHighLights->GetHighLight(i);
            if (highLight->Expression().trimmed().isEmpty())
                continue;
            // A condition that cannot be computed, or whose value is no
            // Boolean, counts as false: formatting never stops a report.
            bool holds = false;
            try {
                const Variant value = EvaluateValue(FDataManager, highLight->Expression(), lookup);
                holds = value.Type() == varBoolean && value.ToBool();
            } catch (const std::exception&) {
            }
            if (!holds)
                continue;
            canvas.SetFont(highLight->Font());
            if (highLight->Color() != clWhite) {
                canvas.Brush()->SetColor(highLight->Color());
                canvas.Brush()->SetStyle(bsSolid);
                canvas.FillRect(rect);
                canvas.Brush()->SetStyle(bsClear);
            }
            break;
        }
    }
    if (OnDrawText) {
        QString changed = text;
        bool drawDefault = true;
        int resultHeight = 0;
        OnDrawText(canvas, changed, rect, flags, resultHeight, drawDefault);
        if (!drawDefault)
            return resultHeight;
        return canvas.DrawText(changed, rect, flags);
    }
    return canvas.DrawText(text, rect, flags);
}

// --- column layout --------------------------------------------------------------------------

void LayoutColumns(QList<TColumnInfo>& columns, bool autoFit, int printableWidth, int gapHorizontal)
{
    if (columns.isEmpty())
        return;
    qint64 total = 0;
    for (const TColumnInfo& column : columns)
        total += column.Width + 2 * gapHorizontal;
    // Without any width there is nothing to scale: the factor stays 1.
    const double factor = autoFit && total > 0 ? double(printableWidth) / double(total) : 1.0;
    int running = 0;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        TColumnInfo& column = columns[i];
        column.Position = running + gapHorizontal;
        if (i + 1 < columns.size() || !autoFit) {
            column.Width = int(column.Width * factor);
            running += column.Width + 2 * gapHorizontal;
        } else {
            column.Width = std::max(0, printableWidth - column.Position - gapHorizontal);
        }
    }
}

QList<TCellPlace> BarColumns(const QList<TColumnInfo>& columns, int start, int end, int left, int gapHorizontal,
                             int& tableWidth)
{
    QList<TCellPlace> places;
    int x = left;
    if (start > 0)
        for (int c = 0; c < start && c < columns.size(); ++c)
            if (columns[c].IsFixed) {
                places.append({c, x + gapHorizontal});
                x += columns[c].Width + 2 * gapHorizontal;
            }
    for (int c = std::max(0, start); c <= end && c < columns.size(); ++c) {
        places.append({c, x + gapHorizontal});
        x += columns[c].Width + 2 * gapHorizontal;
    }
    tableWidth = x - left;
    return places;
}

int LastFittingColumn(const QList<TColumnInfo>& columns, int start, int maxWidth, int gapHorizontal)
{
    int width = 0;
    if (start > 0)
        for (int c = 0; c < start && c < columns.size(); ++c)
            if (columns[c].IsFixed)
                width += columns[c].Width + 2 * gapHorizontal;
    for (int c = start; c < columns.size(); ++c) {
        width += columns[c].Width + 2 * gapHorizontal;
        if (width > maxWidth)
            return std::max(start, c - 1);
    }
    return int(columns.size()) - 1;
}

} // namespace vorel
