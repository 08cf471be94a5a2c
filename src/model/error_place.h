#pragma once
// The place of a failure of a report's preparation (TErrorPlace in
// foundation/values/errors.h) as bands, controls and variables fill it:
// the one labelling of unnamed bands and controls, and the fields each
// fills in an error passing through it. Called only on the error path
// (in a catch block that rethrows), so the good path builds no text.

#include "foundation/values/errors.h"

namespace vorel {

class TKVXBand;
class TKVXControl;
class TKVXVariable;

// The band's name, or "band N" (its 1-based position in the report) when it has none.
QString BandLabel(const TKVXBand* band);
// The control's name, or its class and 1-based position in its band
// ("TKVXExpression #2") when it has none.
QString ControlLabel(const TKVXControl* control);

// Fill what the place does not know yet: Band, Component ("Band") and,
// when the error is about this property's expression (no expression known
// yet, or the same text), Property and Expression.
void NoteBandPlace(TErrorPlace& place, const TKVXBand* band, const char* property = nullptr,
                   const QString& expression = {});
// The same for a control: Band, Control, Component ("Band.Control"), and
// Property ("Expression", "KVPrintWhen.ShowIf", ...) with its Expression.
// A band passed as the control fills as NoteBandPlace does.
void NoteControlPlace(TErrorPlace& place, const TKVXControl* control, const char* property = nullptr,
                      const QString& expression = {});
// A report variable: Component "Variables[Name]" (the index when it has no
// name), Property "Expression" with its expression.
void NoteVariablePlace(TErrorPlace& place, const TKVXVariable* variable);

} // namespace vorel
