#pragma once
// The name lookup through which expressions resolve names that are not
// fields: report parameters, system data names, report variables, then the
// application's OnGetVariable handler.
//
// Arguments: (sender, name, accept, variableType, value). A callee that
// knows the name sets accept and fills variableType (a data-access field
// type code) and value.
//
// The callback type is the expression language's (expr/variable_event.h),
// so the report's lookup plugs into the parser unchanged.

#include "expr/variable_event.h"
#include "foundation/language.h"

namespace vorel {

// The field types the lookup reports for system data and variables.
constexpr TFieldType KVX_FIELD_TYPE_STRING = ftString;
constexpr TFieldType KVX_FIELD_TYPE_INTEGER = ftInteger;
constexpr TFieldType KVX_FIELD_TYPE_DATE = ftDate;
constexpr TFieldType KVX_FIELD_TYPE_TIME = ftTime;
constexpr TFieldType KVX_FIELD_TYPE_DATETIME = ftDateTime;

// The field type an expression sees for a system data item.
TFieldType SysDataFieldType(TKVXSysDataType type);

} // namespace vorel
