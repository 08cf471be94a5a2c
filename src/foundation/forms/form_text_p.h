#pragma once
// Float text shared by the text form's writer and its tests.

#include "foundation/forms/form_stream.h"

namespace vorel {

// The shortest decimal text that reads back (through strtold and the kind's
// precision) to the same value: "1.5", "100.0", "1E20", "-2.5E-30",
// "NAN", "INF", "-INF". Always has a '.' or an 'E' when finite.
QByteArray FormFloatText(long double v, TValueType kind);

} // namespace vorel
