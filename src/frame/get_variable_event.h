#pragma once
// The name lookup of print components: report parameters, system data names,
// report variables, then the application's OnGetVariable handler. The
// callback type is the expression language's, which resolves names through it.

#include "expr/variable_event.h"
#include "foundation/language/language.h"

namespace vorel {

// The field type an expression sees for a system data item.
TFieldType SysDataFieldType(TKVXSysDataType type);

} // namespace vorel
