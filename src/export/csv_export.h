#pragma once
// The CSV filter: the cells of the grid (one text per cell, row by row) as
// lines of fields, UTF-8, CR LF between rows and no line break after the
// last cell. Fields are separated by Separator (";" unless set); a field
// holding the separator, the quote character or a line break is enclosed in
// Quote characters (a quotation mark unless set) with inner quote
// characters doubled; every other field is written as it stands. The lines
// of a wrapped text stay in their one field.

#include "export/export_attributes.h"

namespace vorel {

class TKVXExportToCSV : public TKVXExportAttributes {
    Q_OBJECT
    Q_PROPERTY(QString Separator READ Separator WRITE SetSeparator)
    Q_PROPERTY(QString Quote READ Quote WRITE SetQuote)
public:
    Q_INVOKABLE explicit TKVXExportToCSV(QObject* owner = nullptr);

    // Each is one character; anything else raises EConvertError and keeps
    // the old value, since a longer separator or quote would give a file no
    // CSV reader splits as written.
    QString Separator() const { return FSeparator; }
    void SetSeparator(const QString& value);
    QString Quote() const { return FQuote; }
    void SetQuote(const QString& value);

    void SaveToFile(const QString& fileName) override;

private:
    QChar FSeparator = u';';
    QChar FQuote = u'"';
};

// One CSV field: the text, or the quoted text when it needs quoting.
QString CsvField(const QString& text, QChar separator = u';', QChar quote = u'"');

} // namespace vorel
