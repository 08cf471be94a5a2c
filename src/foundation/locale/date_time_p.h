#pragma once
// FormatDateTime with some settings replaced for one call, so that value
// formatting can apply a descriptor's separators and AM/PM strings without
// copying the whole settings record for every printed value.

#include "foundation/locale/format_settings.h"

namespace vorel::detail {

struct DateTimeOverrides {
    QChar DateSeparator;                 // null: the settings' one
    QChar TimeSeparator;                 // null: the settings' one
    const QString* AMString = nullptr;   // nullptr: the settings' one
    const QString* PMString = nullptr;
};

QString FormatDateTimeWith(QStringView pattern, double dateTime, const TFormatSettings& fs,
                           const DateTimeOverrides& overrides);

} // namespace vorel::detail
