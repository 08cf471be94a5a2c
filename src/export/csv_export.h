#pragma once
// The CSV filter: the cells of the grid (one text per cell, row by row) as
// lines of fields separated by semicolons, UTF-8, CR LF between rows and no
// line break after the last cell. A field holding a semicolon, a quotation
// mark or a line break is enclosed in quotation marks with inner quotation
// marks doubled; every other field is written as it stands.

#include "export/export_attributes.h"

namespace vorel {

class TKVXExportToCSV : public TKVXExportAttributes {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKVXExportToCSV(QObject* owner = nullptr);
    void SaveToFile(const QString& fileName) override;
};

// One CSV field: the text, or the quoted text when it needs quoting.
QString CsvField(const QString& text, QChar separator = u';');

} // namespace vorel
