#pragma once
// The CSV filter: the cells of the grid (one text per cell, row by row) as
// lines of fields, UTF-8, CR LF between rows and no line break after the
// last cell. Fields are separated by Separator (";" unless set); a field
// holding the separator, the quote character or a line break is enclosed in
// Quote characters (a quotation mark unless set) with inner quote
// characters doubled; every other field is written as it stands. The lines
// of a wrapped text stay in their one field.
//
// Mode dmData writes the data instead of the pages: one row per detail
// record, a column per control of the detail band (left to right), the
// captions from the page or column header texts above each column, raw
// values (numbers with a full stop and no grouping, dates as ISO text), no
// page furniture. It reads the data records a preparation leaves in the
// pages when asked to (TKVPrintBaseComponent::SetDataRecords).

#include "export/data_records.h"
#include "export/export_attributes.h"

#include <QByteArray>
#include <vector>

namespace vorel {

class TKVXCSVEnums {
    Q_GADGET
public:
    enum TKVXCSVMode { dmLayout, dmData };
    Q_ENUM(TKVXCSVMode)
    Q_CLASSINFO("Doc.dmLayout", "The texts of the pages, cell by cell as they stand on the pages, row by row.")
    Q_CLASSINFO("Doc.dmData", "One row per detail record, a column per detail control under the header text "
                              "above it, raw values (numbers without grouping, ISO dates).")
};
using TKVXCSVMode = TKVXCSVEnums::TKVXCSVMode;
using enum TKVXCSVEnums::TKVXCSVMode;

// Text cells a spreadsheet would take for a formula ("=HYPERLINK(...)",
// "+cmd|...", "-2+3", "@SUM(...)") get a leading apostrophe, which makes
// spreadsheets take them for text; numbers ("-12.5", "+3", "-1,234.50")
// are never changed.
class TKVXCSVFormulaEnums {
    Q_GADGET
public:
    enum TKVXCSVFormulaGuard { fgAuto, fgOn, fgOff };
    Q_ENUM(TKVXCSVFormulaGuard)
    Q_CLASSINFO("Doc.fgAuto", "On for the data (Mode dmData), which is made to be opened in a spreadsheet; off for "
                              "the pages' cells, which keep their texts as printed.")
    Q_CLASSINFO("Doc.fgOn", "A text cell starting with =, +, - or @ that is no number gets a leading apostrophe.")
    Q_CLASSINFO("Doc.fgOff", "Every text is written as it stands.")
};
using TKVXCSVFormulaGuard = TKVXCSVFormulaEnums::TKVXCSVFormulaGuard;
using enum TKVXCSVFormulaEnums::TKVXCSVFormulaGuard;

class TKVXExportToCSV : public TKVXExportAttributes {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the texts of the pages as CSV cells, or with Mode dmData the report's data, in UTF-8.")
    Q_PROPERTY(QString Separator READ Separator WRITE SetSeparator)
    Q_CLASSINFO("Doc.Separator", "The character between fields.")
    Q_PROPERTY(QString Quote READ Quote WRITE SetQuote)
    Q_CLASSINFO("Doc.Quote", "The character enclosing fields that hold the separator, a quote or a line break.")
    Q_PROPERTY(vorel::TKVXCSVEnums::TKVXCSVMode Mode READ Mode WRITE SetMode)
    Q_CLASSINFO("Doc.Mode", "What is written: the pages' cells or the report's data.")
    Q_PROPERTY(vorel::TKVXCSVFormulaEnums::TKVXCSVFormulaGuard FormulaGuard READ FormulaGuard WRITE SetFormulaGuard)
    Q_CLASSINFO("Doc.FormulaGuard", "Whether text cells a spreadsheet would run as formulas (starting with =, +, - "
                                    "or @) get a leading apostrophe; numbers never do.")
public:
    Q_INVOKABLE explicit TKVXExportToCSV(QObject* owner = nullptr);

    // Each is one character; anything else raises EConvertError and keeps
    // the old value, since a longer separator or quote would give a file no
    // CSV reader splits as written.
    QString Separator() const { return FSeparator; }
    void SetSeparator(const QString& value);
    QString Quote() const { return FQuote; }
    void SetQuote(const QString& value);

    TKVXCSVMode Mode() const { return FMode; }
    void SetMode(TKVXCSVMode value) { FMode = value; }
    TKVXCSVFormulaGuard FormulaGuard() const { return FFormulaGuard; }
    void SetFormulaGuard(TKVXCSVFormulaGuard value) { FFormulaGuard = value; }
    // Whether the guard applies in the current mode.
    bool GuardsFormulas() const { return FFormulaGuard == fgOn || (FFormulaGuard == fgAuto && FMode == dmData); }

    void StartExport() override;
    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    void PageProcessed(const TMetafile& metafile) override;
    void SaveToFile(const QString& fileName) override;
    bool StreamsGrid() const override { return FMode == dmLayout; }

private:
    void SaveData(const QString& fileName);
    // One CSV line of fields, as UTF-8.
    void AppendRow(QByteArray& out, const std::vector<QString>& fields) const;

    QChar FSeparator = u';';
    QChar FQuote = u'"';
    TKVXCSVMode FMode = dmLayout;
    TKVXCSVFormulaGuard FFormulaGuard = fgAuto;
    TKVXDataRecords FData; // the data records read so far (Mode dmData)
};

// One CSV field: the text, or the quoted text when it needs quoting; with
// `guardFormulas` a text a spreadsheet would run as a formula is made text
// by a leading apostrophe first (see TKVXCSVFormulaGuard).
QString CsvField(const QString& text, QChar separator = u';', QChar quote = u'"', bool guardFormulas = false);
// True for a text starting with =, +, - or @ that is no number.
bool LooksLikeFormula(QStringView text);

} // namespace vorel
