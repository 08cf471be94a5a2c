#pragma once
// The symbologies after the classic four, encoded by libzint into a module
// matrix the barcode control draws itself. Private to model/: nothing else
// sees libzint.

#include "model/barcode.h"

#include <QString>
#include <vector>

namespace vorel {

struct TBarCodeMatrix {
    int Rows = 0;
    int Columns = 0;
    // Height of each row in modules (1 for matrix symbols, 3 for PDF417's
    // rows); a linear symbol's single row takes the whole bar height.
    std::vector<int> RowModules;
    std::vector<bool> Dark; // Rows x Columns, row by row
    QString Text;           // libzint's human-readable text (linear symbols)
    QString Error;          // why nothing can be drawn; empty on success

    bool IsDark(int row, int column) const { return Dark[std::size_t(row) * std::size_t(Columns) + std::size_t(column)]; }
};

// Encodes data (as it stands, UTF-8 bytes for the two-dimensional symbols)
// as one of the libzint symbologies (bcCode128 and after).
TBarCodeMatrix EncodeWithZint(TBarCodeType type, const QString& data, TQRLevel level);

} // namespace vorel
