#pragma once
// The name lookup through which expressions resolve names that are not
// fields: report parameters, system data names, report variables and the
// application's OnGetVariable handler. Print components implement it
// (KVXGetVariable); the expression builder supplies its own for validation.
//
// Arguments: (sender, name, accept, variableType, value). The expression
// parser calls it with sender = nullptr, the name as written (the trimmed
// symbol text or the text between brackets), accept = false, variableType =
// ftString and an Empty value. A callee that knows the name sets accept to
// true and fills variableType (a data set field type) and value.

#include "data/dataset.h"
#include "foundation/values/variant.h"

#include <QObject>
#include <QString>
#include <functional>

namespace vorel {

using TGetVariableEvent = std::function<void(QObject* sender, const QString& name, bool& accept,
                                             TFieldType& variableType, Variant& value)>;

} // namespace vorel
