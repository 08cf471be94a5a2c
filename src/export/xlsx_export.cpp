#include "export/xlsx_export.h"

#include "export/export_file.h"
#include "foundation/values/errors.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <climits>
#include <map>
#include <tuple>
#include <xlsxwriter.h>

namespace vorel {

namespace {

int Digits(QStringView text, qsizetype& at)
{
    const qsizetype start = at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9')
        ++at;
    return int(at - start);
}

int Number(QStringView text, qsizetype from, int count)
{
    int n = 0;
    for (int i = 0; i < count; ++i)
        n = n * 10 + (text[from + i].unicode() - u'0');
    return n;
}

bool ParseDate(QStringView text, TXlsxCellValue& v)
{
    // yyyy-mm-dd[ hh:mm[:ss]]
    const qsizetype n = text.size();
    if (n != 10 && n != 16 && n != 19)
        return false;
    static const char* const pattern = "dddd-dd-dd dd:dd:dd";
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (pattern[i] == 'd' ? !(c >= u'0' && c <= u'9') : c != QLatin1Char(pattern[i]))
            return false;
    }
    v.Year = Number(text, 0, 4);
    v.Month = Number(text, 5, 2);
    v.Day = Number(text, 8, 2);
    if (v.Year < 1900 || !QDate::isValid(v.Year, v.Month, v.Day))
        return false;
    if (n >= 16) {
        v.Hour = Number(text, 11, 2);
        v.Minute = Number(text, 14, 2);
        if (v.Hour > 23 || v.Minute > 59)
            return false;
        if (n == 19) {
            v.Seconds = Number(text, 17, 2);
            if (v.Seconds > 59)
                return false;
        }
    }
    v.Kind = TXlsxCellValue::xkDate;
    return true;
}

} // namespace

TXlsxCellValue XlsxCellValue(QStringView text)
{
    TXlsxCellValue v;
    if (text.isEmpty() || text.size() > 40)
        return v;
    if (ParseDate(text, v))
        return v;
    v = {};
    qsizetype at = text[0] == u'-' ? 1 : 0;
    const qsizetype intStart = at;
    const int intDigits = Digits(text, at);
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == u'0'))
        return v;
    int fracDigits = 0;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        fracDigits = Digits(text, at);
        if (fracDigits == 0)
            return v;
    }
    if (at != text.size())
        return v;
    // Significant digits: those after the leading zeros of "0.00...".
    int significant = intDigits + fracDigits;
    if (text[intStart] == u'0') {
        significant = fracDigits;
        for (qsizetype i = intStart + 2; i < text.size() && text[i] == u'0'; ++i)
            --significant;
    }
    if (significant > 15)
        return v;
    bool ok = false;
    const double number = text.toDouble(&ok); // the C locale: a full stop, no grouping
    if (!ok)
        return v;
    v.Kind = TXlsxCellValue::xkNumber;
    v.Number = number;
    v.Decimals = fracDigits;
    return v;
}

namespace {

[[noreturn]] void RaiseXlsx(const QString& fileName, lxw_error error)
{
    throw EStreamError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, QString::fromUtf8(lxw_strerror(error))));
}

// One workbook of one sheet, and the cell formats it has made so far.
class TWorkbook {
public:
    TWorkbook(const QString& target, const QString& path, const TKVProperty* properties) : FTarget(target)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.use_zip64 = LXW_TRUE; // more than 4 GB of sheet data
        const QByteArray name = QFile::encodeName(path);
        FBook = workbook_new_opt(name.constData(), &options);
        if (!FBook)
            throw EStreamError(QStringLiteral("Cannot create file \"%1\". Out of memory").arg(target));
        FSheet = workbook_add_worksheet(FBook, nullptr);
        if (!FSheet)
            throw EStreamError(QStringLiteral("Cannot create file \"%1\". The worksheet was not made").arg(target));
        if (properties) {
            FTexts = {properties->Title().toUtf8(), properties->Subject().toUtf8(), properties->Author().toUtf8(),
                      properties->Keywords().toUtf8(), properties->Comments()->Text().trimmed().toUtf8()};
            lxw_doc_properties doc{};
            doc.title = FTexts[0].data();
            doc.subject = FTexts[1].data();
            doc.author = FTexts[2].data();
            doc.keywords = FTexts[3].data();
            doc.comments = FTexts[4].data();
            workbook_set_properties(FBook, &doc);
        }
    }
    ~TWorkbook()
    {
        if (FBook)
            workbook_close(FBook);
    }
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    lxw_worksheet* Sheet() const { return FSheet; }

    void Check(lxw_error error) const
    {
        if (error != LXW_NO_ERROR)
            RaiseXlsx(FTarget, error);
    }

    void Write(int row, int col, const QString& text, TAlignment alignment, bool bold)
    {
        if (IsBlankText(text))
            return;
        const TXlsxCellValue v = XlsxCellValue(text);
        switch (v.Kind) {
        case TXlsxCellValue::xkNumber:
            Check(worksheet_write_number(FSheet, lxw_row_t(row), lxw_col_t(col), v.Number,
                                         Format(NumberFormat(v.Decimals), alignment, bold)));
            break;
        case TXlsxCellValue::xkDate: {
            lxw_datetime dt{v.Year, v.Month, v.Day, std::max(v.Hour, 0), v.Minute, double(std::max(v.Seconds, 0))};
            const char* pattern = v.Hour < 0 ? "yyyy-mm-dd" : v.Seconds < 0 ? "yyyy-mm-dd hh:mm" : "yyyy-mm-dd hh:mm:ss";
            Check(worksheet_write_datetime(FSheet, lxw_row_t(row), lxw_col_t(col), &dt,
                                           Format(QByteArray(pattern), alignment, bold)));
            break;
        }
        case TXlsxCellValue::xkText:
            Check(worksheet_write_string(FSheet, lxw_row_t(row), lxw_col_t(col),
                                         CutCellText(text).toUtf8().constData(), Format({}, alignment, bold)));
            break;
        }
    }

    // Writes the file (at most once) and frees the workbook.
    void Close()
    {
        lxw_workbook* book = FBook;
        FBook = nullptr;
        Check(workbook_close(book));
    }

private:
    static QByteArray NumberFormat(int decimals)
    {
        return decimals == 0 ? QByteArray() : "0." + QByteArray(decimals, '0');
    }
    static QString CutCellText(const QString& text)
    {
        // A cell holds at most 32,767 characters; a surrogate pair is never cut.
        constexpr int kMax = 32767;
        if (text.size() <= kMax)
            return text;
        return text.left(text.at(kMax - 1).isHighSurrogate() ? kMax - 1 : kMax);
    }
    lxw_format* Format(const QByteArray& numberFormat, TAlignment alignment, bool bold)
    {
        // Texts keep their alignment; numbers and dates keep the reader's
        // (right) unless centred.
        const int align = alignment == taCenter ? LXW_ALIGN_CENTER
                        : alignment == taRightJustify && numberFormat.isEmpty() ? LXW_ALIGN_RIGHT
                                                                                : LXW_ALIGN_NONE;
        if (numberFormat.isEmpty() && align == LXW_ALIGN_NONE && !bold)
            return nullptr;
        const auto key = std::make_tuple(numberFormat, align, bold);
        if (const auto found = FFormats.find(key); found != FFormats.end())
            return found->second;
        lxw_format* format = workbook_add_format(FBook);
        if (!numberFormat.isEmpty())
            format_set_num_format(format, numberFormat.constData());
        if (align != LXW_ALIGN_NONE)
            format_set_align(format, uint8_t(align));
        if (bold)
            format_set_bold(format);
        FFormats.emplace(key, format);
        return format;
    }

    QString FTarget;
    lxw_workbook* FBook = nullptr;
    lxw_worksheet* FSheet = nullptr;
    std::vector<QByteArray> FTexts;
    std::map<std::tuple<QByteArray, int, bool>, lxw_format*> FFormats;
};

void RaiseLimits(int rows, int columns)
{
    throw EKVXError(QStringLiteral("A worksheet holds at most %1 rows and %2 columns; the export makes %3 rows and %4 "
                                   "columns")
                        .arg(TKVXExportToXLSX::kMaxRows)
                        .arg(TKVXExportToXLSX::kMaxColumns)
                        .arg(rows)
                        .arg(columns));
}

// Copies the finished workbook into the output.
void CopyInto(const QString& workbook, const QString& fileName)
{
    QFile in(workbook);
    if (!in.open(QIODevice::ReadOnly))
        throw EStreamError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, in.errorString()));
    TExportFile out(fileName);
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty())
        out.Write(block);
    if (in.error() != QFileDevice::NoError)
        throw EStreamError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, in.errorString()));
    out.Commit();
}

} // namespace

TKVXExportToXLSX::TKVXExportToXLSX(QObject* owner) : TKVXExportAttributes(owner) {}

void TKVXExportToXLSX::PageProcessed(const TMetafile& metafile)
{
    TKVXExportAttributes::PageProcessed(metafile);
    if (FMode == dmData)
        FData.LetFinishedRowsGo();
}

bool TKVXExportToXLSX::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    if (FMode != dmData)
        return TKVXExportAttributes::ExportEMFRecord(dc, record);
    // Data only: the pages' drawing is passed over, the data records read.
    if (TKVXExport::ExportEMFRecord(dc, record))
        FData.Read(record);
    return true;
}

void TKVXExportToXLSX::SaveToFile(const QString& fileName)
{
    struct Clear {
        TKVXExportToXLSX* self;
        ~Clear()
        {
            self->ClearRecords();
            self->FData.Clear();
        }
    } clearAfterwards{this};
    if (FMode == dmData) {
        TKVXExport::SaveToFile(fileName);
        if (FData.Empty())
            throw EKVXError(NoDataRecordsMessage(QStringLiteral("XLSX")));
    } else {
        TKVXExportAttributes::SaveToFile(fileName);
    }

    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/vorel-XXXXXX.xlsx"));
    if (!temporary.open())
        throw EStreamError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, temporary.errorString()));
    temporary.close(); // libxlsxwriter opens it by name
    {
        TWorkbook book(fileName, temporary.fileName(), Properties());
        lxw_worksheet* sheet = book.Sheet();
        if (FMode == dmData) {
            const std::vector<TKVXDataRecords::TCell> columns = FData.Columns();
            const std::size_t rows = columns.empty() ? 0 : FData.RowCount() + 1;
            if (rows > std::size_t(kMaxRows) || columns.size() > std::size_t(kMaxColumns))
                RaiseLimits(int(std::min<std::size_t>(rows, INT_MAX)), int(columns.size()));
            for (std::size_t c = 0; c < columns.size(); ++c)
                book.Check(worksheet_set_column_pixels(sheet, lxw_col_t(c), lxw_col_t(c),
                                                       uint32_t(std::max(columns[c].Width, 8)), nullptr));
            if (!columns.empty()) {
                const std::vector<QString> captions = FData.Captions(columns);
                for (std::size_t c = 0; c < captions.size(); ++c)
                    book.Write(0, int(c), captions[c], taLeftJustify, true);
                worksheet_freeze_panes(sheet, 1, 0);
                int row = 0;
                FData.ForEachRow(columns, [&](const std::vector<QString>& values) {
                    ++row;
                    for (std::size_t c = 0; c < values.size(); ++c)
                        book.Write(row, int(c), values[c], taLeftJustify, false);
                });
            }
        } else {
            if (RowCount > kMaxRows || ColCount > kMaxColumns)
                RaiseLimits(RowCount, ColCount);
            // Column widths: from each column's left edge to the next one's;
            // the last one as wide as its widest text, known once every cell
            // is written (the workbook writes the widths when it closes).
            const std::vector<int>& lefts = Columns();
            int lastRight = 0;
            ForEachCell([&](const TKVXMFERecord& item) {
                if (item.Col == int(lefts.size()) - 1)
                    lastRight = std::max(lastRight, item.Left + item.Width);
                if (item.Kind == rkText)
                    book.Write(item.Row, item.Col, item.Text, item.Alignment, false);
            });
            for (std::size_t c = 0; c < lefts.size(); ++c) {
                const int right = c + 1 < lefts.size() ? lefts[c + 1] : lastRight;
                book.Check(worksheet_set_column_pixels(sheet, lxw_col_t(c), lxw_col_t(c),
                                                       uint32_t(std::max(right - lefts[c], 8)), nullptr));
            }
        }
        book.Close();
    }
    CopyInto(temporary.fileName(), fileName);
}

} // namespace vorel
