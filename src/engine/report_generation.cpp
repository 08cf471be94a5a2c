// The generation step of a designed report. The band generation engine
// replaces this file; until then preparing a designed report fails clearly
// instead of producing empty pages.

#include "model/report.h"

namespace vorel {

void TKVReport::PrepareReport()
{
    throw EKVXError(QStringLiteral("report generation is not built yet"));
}

void TKVReport::NewPage(bool newBar)
{
    Q_UNUSED(newBar);
    throw EKVXError(QStringLiteral("report generation is not built yet"));
}

} // namespace vorel
