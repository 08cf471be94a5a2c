#pragma once
// Shared by the data set implementations; not part of the public API.

#include "data/dataset.h"

#include <QString>

namespace vorel {

// ISO 8601 as databases and CSV files write it: "2024-03-05",
// "2024-03-05 10:20:30", "2024-03-05T10:20:30.250", "10:20" or "10:20:30",
// an optional zone suffix accepted and ignored. For ftDate a text must hold a
// date; for ftTime only the time of day is kept. False when not valid.
bool ParseIsoDateTime(const QString& text, TFieldType type, double& value);

} // namespace vorel
