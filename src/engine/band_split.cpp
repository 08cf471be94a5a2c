// A band taller than the free space of an empty page or column.

#include "engine/generation_p.h"

namespace vorel {

void PrintAcrossPages(TKVReport& report, TGenerationContext& /*context*/, TKVXBand* band, int height)
{
    const int painted = band->PrintBand(report.intCurHeight, report.intCurHeight + height, 0);
    report.intCurHeight += std::max(height, painted);
    report.intLastPageHeight = painted;
}

} // namespace vorel
