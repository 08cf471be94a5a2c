#pragma once
// The name lookup through which expressions resolve names that are not
// fields: report parameters, system data names, report variables, then the
// application's OnGetVariable handler.
//
// Arguments: (sender, name, accept, variableType, value). A callee that
// knows the name sets accept and fills variableType (a data-access field
// type code) and value.
//
// The type code is a plain int here because the data-access layer's field
// type enumeration is not part of this build yet; the codes are its values.

#include "foundation/language.h"
#include "foundation/variant.h"

#include <QObject>
#include <QString>
#include <functional>

namespace vorel {

using TGetVariableEvent =
    std::function<void(QObject* sender, const QString& name, bool& accept, int& variableType, Variant& value)>;

// The data-access field type codes the lookup reports (the values of
// ftString, ftInteger, ftDate, ftTime and ftDateTime).
constexpr int KVX_FIELD_TYPE_STRING = 1;
constexpr int KVX_FIELD_TYPE_INTEGER = 3;
constexpr int KVX_FIELD_TYPE_DATE = 9;
constexpr int KVX_FIELD_TYPE_TIME = 10;
constexpr int KVX_FIELD_TYPE_DATETIME = 11;

// The field type an expression sees for a system data item.
int SysDataFieldType(TKVXSysDataType type);

} // namespace vorel
