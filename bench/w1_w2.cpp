// The standard benchmark work W1 ("listing") and W2 ("grouped") built in
// code as laid out in the shared benchmark description: A4 portrait, 10 mm
// margins, a 16 mm page header (title 14 pt bold, column captions 8 pt bold
// over a rule), 5 mm detail rows of seven columns in Liberation Sans 8 pt,
// an 8 mm page footer "Page N of M" (two passes); W2 adds a 7 mm group
// header and footer per city and a 10 mm summary.
//
//   w1_w2 W1|W2 DATABASE [OUTPUT.pdf] [--pages PAGES.bin]
//   w1_w2 W1|W2 --save-form FORM.kvx
//
// DATABASE is an orders table written by gen_orders.py. Prints the page
// count and the times of the preparation and of the PDF export (when an
// output file is named); run it under `/usr/bin/time -v` for the whole
// process and the peak resident set. --pages writes the prepared pages'
// metafile bytes one after the other, to compare two builds byte for byte.
// --save-form writes the report as a form (text form) for `vorel render`
// instead (bench/forms/w1.kvx and w2.kvx, used by bench/run_e2e.sh).

#include "auto/library.h"
#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "export/pdf_export.h"
#include "frame/user_interface.h"
#include "model/report.h"
#include "model/shapes.h"
#include "model/text_controls.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

using namespace vorel;

namespace {

// Report pixels (96 per inch) of a length in millimetres.
int Px(double millimetres)
{
    return int(millimetres * 96.0 / 25.4 + 0.5);
}

struct TColumn {
    const char* Caption;
    double WidthMm;
    TAlignment Align;
    QString Expression;
    QString Format;
};

const QString kMoney = QStringLiteral("@N @ND2 @NS. @NT, @NR0.01 ");

const TColumn kColumns[] = {
    {"ID", 16, taRightJustify, QStringLiteral("[id]"), {}},
    {"Customer", 52, taLeftJustify, QStringLiteral("[customer]"), {}},
    {"City", 37, taLeftJustify, QStringLiteral("[city]"), {}},
    // dd.MM.yyyy from the ISO text yyyy-mm-dd.
    {"Date", 24, taLeftJustify,
     QStringLiteral("SUBSTRING([order_date], 9, 2) + '.' + SUBSTRING([order_date], 6, 2) + '.' + "
                    "SUBSTRING([order_date], 1, 4)"),
     {}},
    {"Qty", 16, taRightJustify, QStringLiteral("[qty]"), {}},
    {"Price", 22, taRightJustify, QStringLiteral("[price]"), kMoney},
    {"Amount", 23, taRightJustify, QStringLiteral("[amount]"), kMoney},
};

void SetFont(TKVXControl* control, int points, bool bold)
{
    TFont* font = control->Font();
    font->SetName(QStringLiteral("Liberation Sans"));
    font->SetSize(points);
    font->SetStyle(bold ? TFontStyles(fsBold) : TFontStyles());
}

template <typename T>
T* Add(TKVXBand* band, int left, int top, int width, int height)
{
    auto* control = static_cast<T*>(band->Object(band->AddElement(&T::staticMetaObject)));
    control->SetLeft(left);
    control->SetTop(top);
    control->SetWidth(width);
    control->SetHeight(height);
    return control;
}

TKVXExpression* Text(TKVXBand* band, const QString& expression, int left, int top, int width, int height, int points,
                     bool bold, TAlignment align = taLeftJustify)
{
    auto* control = Add<TKVXExpression>(band, left, top, width, height);
    control->SetExpression(expression);
    control->SetAlignment(align);
    control->SetWordWrap(false);
    SetFont(control, points, bold);
    return control;
}

TKVXLabel* Caption(TKVXBand* band, const QString& text, int left, int top, int width, int height, int points,
                   bool bold, TAlignment align = taLeftJustify)
{
    auto* label = Add<TKVXLabel>(band, left, top, width, height);
    label->SetDisplayName(text);
    label->SetAlignment(align);
    label->SetWordWrap(false);
    SetFont(label, points, bold);
    return label;
}

TKVXBand* AddBand(TKVReport& report, TBandType type, double heightMm, int width)
{
    TKVXBand* band = report.GetBand(report.AddBand(type, true));
    band->SetHeight(Px(heightMm));
    band->SetLeft(0);
    band->SetWidth(width);
    return band;
}

void BuildReport(TKVReport& report, bool grouped)
{
    TKVXPrinter* printer = report.PrinterSetting();
    printer->SetPaperSize(psA4);
    printer->Margins()->SetByDefault(false);
    printer->Margins()->SetLeft(100); // 0.1 mm
    printer->Margins()->SetTop(100);
    printer->Margins()->SetRight(100);
    printer->Margins()->SetBottom(100);
    report.SetTwoPass(true);
    report.SetAnimatedStatus(false);
    report.DeleteAllBands();
    const int bodyWidth = Px(190);

    // Page header: the title in the top 8 mm, captions at 10-15.5 mm, a rule under them.
    TKVXBand* header = AddBand(report, btPageHeader, 16, bodyWidth);
    Caption(header, grouped ? QStringLiteral("Orders by city") : QStringLiteral("Orders listing"), 0, 0, bodyWidth,
            Px(8), 14, true);
    // Detail columns, contiguous, 1 mm of padding each side (the control's
    // 1-pixel frame inset included).
    double leftMm = 0;
    const int pad = Px(1) - 1;
    TKVXBand* detail = nullptr;
    TKVXBand* groupHeader = nullptr;
    TKVXBand* groupFooter = nullptr;
    if (grouped) {
        int h = 0, f = 0;
        report.AddGroup(h, f, false, false, false, 0, QStringLiteral("[city]"));
        groupHeader = report.GetBand(h);
        groupFooter = report.GetBand(f);
        for (TKVXBand* band : {groupHeader, groupFooter}) {
            band->SetHeight(Px(7));
            band->SetWidth(bodyWidth);
        }
    }
    detail = AddBand(report, btDetail, 5, bodyWidth);
    for (const TColumn& column : kColumns) {
        const int left = Px(leftMm);
        const int right = Px(leftMm + column.WidthMm);
        leftMm += column.WidthMm;
        const int width = right - left - 2 * pad;
        Caption(header, QLatin1String(column.Caption), left + pad, Px(10), width, Px(5.5), 8, true, column.Align);
        TKVXExpression* cell = Text(detail, column.Expression, left + pad, 0, width, Px(5) - 2, 8, false, column.Align);
        cell->SetFormat(column.Format);
        cell->SetObjectPosition(opCenterBand);
    }
    auto* rule = Add<TKVXLine>(header, 0, Px(15.5), bodyWidth, 1);
    rule->SetLineType(ltTop);

    // Page footer: "Page N of M", centred.
    TKVXBand* footer = AddBand(report, btPageFooter, 8, bodyWidth);
    Text(footer, QStringLiteral("'Page ' + INTTOSTR(PageNo) + ' of ' + INTTOSTR(PageCount)"), 0, 0, bodyWidth,
         Px(8), 8, false, taCenter)
        ->SetObjectPosition(opCenterBand);

    if (!grouped)
        return;
    // Per city: "City: X" over its rows, "X: n orders" and the sum of
    // amount (in a 45 mm cell at the right) under them.
    Text(groupHeader, QStringLiteral("'City: ' + [city]"), pad, 0, bodyWidth - 2 * pad, Px(7), 9, true)
        ->SetObjectPosition(opCenterBand);
    TKVXVariable* inCity = report.Variables()->Add();
    inCity->SetName(QStringLiteral("CityOrders"));
    inCity->SetExpression(QStringLiteral("[id]"));
    inCity->Calculation()->SetCalcType(ctCount);
    inCity->Calculation()->SetResetType(rtEndGroup);
    inCity->Calculation()->SetResetGroup(QStringLiteral("[city]"));
    Text(groupFooter, QStringLiteral("[city] + ': ' + CityOrders + ' orders'"), pad, 0, Px(100), Px(7), 8, true)
        ->SetObjectPosition(opCenterBand);
    TKVXExpression* citySum = Text(groupFooter, QStringLiteral("[amount]"), bodyWidth - Px(45) + pad, 0,
                                   Px(45) - 2 * pad, Px(7), 8, true, taRightJustify);
    citySum->SetFormat(kMoney);
    citySum->SetObjectPosition(opCenterBand);
    citySum->Calculation()->SetCalcType(ctSum);
    citySum->Calculation()->SetResetType(rtEndGroup);
    citySum->Calculation()->SetResetGroup(QStringLiteral("[city]"));

    // Summary: "Grand total: N orders" and the grand sum.
    TKVXBand* summary = AddBand(report, btReportSummary, 10, bodyWidth);
    TKVXVariable* all = report.Variables()->Add();
    all->SetName(QStringLiteral("AllOrders"));
    all->SetExpression(QStringLiteral("[id]"));
    all->Calculation()->SetCalcType(ctCount);
    Text(summary, QStringLiteral("'Grand total: ' + AllOrders + ' orders'"), pad, 0, Px(100), Px(10), 9, true)
        ->SetObjectPosition(opCenterBand);
    TKVXExpression* grand = Text(summary, QStringLiteral("[amount]"), bodyWidth - Px(45) + pad, 0, Px(45) - 2 * pad,
                                 Px(10), 9, true, taRightJustify);
    grand->SetFormat(kMoney);
    grand->SetObjectPosition(opCenterBand);
    grand->Calculation()->SetCalcType(ctSum);
}

// Writes every page's metafile bytes, in page order, one after the other:
// a byte-for-byte fingerprint of the prepared pages.
void WritePages(const TKVReport& report, const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EKVXError(QStringLiteral("cannot write %1").arg(fileName));
    for (int bar = 0; bar < report.GetNumBars(); ++bar)
        for (int page = 0; page < report.GetNumPages(); ++page)
            if (const TPageInfo* info = report.GetPage(page, bar))
                file.write(info->Data->Bytes());
}

// The report with its data set, as a form stores it: the data set named
// Orders reads from `connection`, the data manager is named Data.
void BuildWithData(TKVReport& report, bool grouped, const QString& connection)
{
    report.SetName(grouped ? QStringLiteral("W2Report") : QStringLiteral("W1Report"));
    auto* orders = new TSqlDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->SetConnection(connection);
    orders->SetSQL(QStringLiteral("SELECT id, customer, city, order_date, qty, price, amount FROM orders ORDER BY city, id"));
    auto* manager = new TKVXDataManager(&report);
    manager->SetName(QStringLiteral("Data"));
    manager->Datasets()->Add()->SetDataset(orders);
    report.SetDataManager(manager);
    report.SetDataSet(orders);
    BuildReport(report, grouped);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    // Options may stand anywhere after the program name.
    QString pagesFile;
    QString formFile;
    for (qsizetype i = 1; i < args.size();) {
        if (args[i] == QStringLiteral("--pages") && i + 1 < args.size()) {
            pagesFile = args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QStringLiteral("--save-form") && i + 1 < args.size()) {
            formFile = args[i + 1];
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    const bool work = args.size() >= 2 && (args[1] == QStringLiteral("W1") || args[1] == QStringLiteral("W2"));
    if (!work || (args.size() < 3 && formFile.isEmpty())) {
        std::fprintf(stderr, "usage: w1_w2 W1|W2 DATABASE [OUTPUT.pdf] [--pages PAGES.bin]\n"
                             "       w1_w2 W1|W2 --save-form FORM.kvx\n");
        return 2;
    }
    const bool grouped = args[1] == QStringLiteral("W2");
    InitializeLibrary();
    int rc = 0;
    if (!formFile.isEmpty()) {
        // The report as a form in text form, for `vorel render` (whose
        // --data gives the data set its database): the form's own
        // connection names a database beside the form.
        try {
            TKVReport report;
            BuildWithData(report, grouped, QStringLiteral("sqlite:orders.db"));
            report.SaveReport(formFile, TReportFormFormat::Text);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "failed: %s\n", e.what());
            rc = 1;
        }
        FinalizeLibrary();
        return rc;
    }
    if (!QFileInfo::exists(args[2])) {
        std::fprintf(stderr, "no database %s (write it with gen_orders.py)\n", qPrintable(args[2]));
        FinalizeLibrary();
        return 2;
    }
    {
        TKVReport report;
        BuildWithData(report, grouped, QStringLiteral("sqlite:") + args[2]);
        try {
            report.DataSet()->Open();
            QElapsedTimer timer;
            timer.start();
            report.Prepare();
            const qint64 ms = timer.elapsed();
            std::printf("%s %s: %d pages, prepared in %.3f s", qPrintable(args[1]),
                        qPrintable(QFileInfo(args[2]).fileName()), report.GetNumPages(), ms / 1000.0);
            if (!pagesFile.isEmpty())
                WritePages(report, pagesFile);
            if (args.size() > 3) {
                QList<int> pages;
                for (int page = 1; page <= report.GetNumPages(); ++page)
                    pages << page;
                timer.restart();
                report.ExportTo(args[3], false, &TKVXExportToPDF::staticMetaObject, pages);
                std::printf(", exported in %.3f s", timer.elapsed() / 1000.0);
            }
            std::printf("\n");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "failed: %s\n", e.what());
            rc = 1;
        }
    }
    FinalizeLibrary();
    return rc;
}
