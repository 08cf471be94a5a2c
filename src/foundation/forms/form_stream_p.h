#pragma once
// Helpers shared by the form readers and writers (not part of the interface).

#include "foundation/forms/form_stream.h"

namespace vorel {

// "Error reading Band1.Font.Height at offset 123: <reason>"; with a line
// number (text forms): "... at line 7 (offset 123): <reason>".
inline QString FormErrorMessage(const QString& component, const QString& property, std::int64_t offset, int line,
                                const QString& reason)
{
    QString what = component.isEmpty() ? QStringLiteral("form") : component;
    if (!property.isEmpty())
        what += u'.' + property;
    const QString where = line > 0 ? QStringLiteral("line %1 (offset %2)").arg(line).arg(offset)
                                   : QStringLiteral("offset %1").arg(offset);
    return QStringLiteral("Error reading %1 at %2: %3").arg(what, where, reason);
}

// The same place as data: the component's path from the form's root
// ("SalesReport.Detail1.Amount"), the property, the offset and the line.
inline TErrorPlace FormErrorPlace(const QString& componentPath, const QString& property, std::int64_t offset, int line)
{
    TErrorPlace place;
    place.Component = componentPath;
    place.Property = property;
    place.Offset = offset;
    place.Line = line;
    return place;
}

// A child's path: the parent's and the child's name (its class name when it has none).
inline QString FormChildPath(const QString& parentPath, const QString& label)
{
    return parentPath.isEmpty() ? label : parentPath + u'.' + label;
}

} // namespace vorel
