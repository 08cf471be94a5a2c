#pragma once
// What a file given to the tool holds, judged by its first bytes rather than
// its extension: the library's ReportFileKind (model/report_file.h) under
// the tool's names.

#include "model/report_file.h"

#include <QString>

namespace vorel::cli {

using TInputKind = TReportFileKind;

// Unknown for a file that cannot be read or matches neither.
inline TInputKind SniffInput(const QString& fileName)
{
    return SniffReportFile(fileName);
}

// The kind the file is read as: what its content says, else what its
// extension says (.zpg: a prepared report).
inline TInputKind InputKind(const QString& fileName)
{
    return ReportFileKind(fileName);
}

} // namespace vorel::cli
