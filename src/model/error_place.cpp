#include "model/error_place.h"

#include "model/band.h"
#include "model/control.h"

#include "foundation/records/records.h"

namespace vorel {

namespace {

// Property and expression only when the error is about that expression:
// a text some inner evaluation named stays with its own property unknown.
void NoteProperty(TErrorPlace& place, const char* property, const QString& expression)
{
    if (!property || (!place.Expression.isEmpty() && !expression.isEmpty() && place.Expression != expression))
        return;
    if (place.Property.isEmpty())
        place.Property = QString::fromLatin1(property);
    if (place.Expression.isEmpty())
        place.Expression = expression;
}

} // namespace

QString BandLabel(const TKVXBand* band)
{
    if (!band)
        return {};
    if (!band->Name().isEmpty())
        return band->Name();
    const int index = band->GetBandIndex();
    return index >= 0 ? QStringLiteral("band %1").arg(index + 1) : band->ClassName();
}

QString ControlLabel(const TKVXControl* control)
{
    if (!control)
        return {};
    if (!control->Name().isEmpty())
        return control->Name();
    const TKVXBand* band = control->GetParentBand();
    const qsizetype index = band ? band->Objects().indexOf(const_cast<TKVXControl*>(control)) : -1;
    return index >= 0 ? QStringLiteral("%1 #%2").arg(control->ClassName()).arg(index + 1) : control->ClassName();
}

void NoteBandPlace(TErrorPlace& place, const TKVXBand* band, const char* property, const QString& expression)
{
    if (!band)
        return;
    const QString label = BandLabel(band);
    if (place.Band.isEmpty())
        place.Band = label;
    if (place.Component.isEmpty())
        place.Component = label;
    NoteProperty(place, property, expression);
}

void NoteControlPlace(TErrorPlace& place, const TKVXControl* control, const char* property, const QString& expression)
{
    if (const auto* band = qobject_cast<const TKVXBand*>(control)) {
        NoteBandPlace(place, band, property, expression);
        return;
    }
    if (!control)
        return;
    const TKVXBand* band = control->GetParentBand();
    const QString bandLabel = BandLabel(band);
    const QString label = ControlLabel(control);
    if (place.Band.isEmpty())
        place.Band = bandLabel;
    if (place.Control.isEmpty())
        place.Control = label;
    if (place.Component.isEmpty())
        place.Component = bandLabel.isEmpty() ? label : bandLabel + u'.' + label;
    NoteProperty(place, property, expression);
}

void NoteVariablePlace(TErrorPlace& place, const TKVXVariable* variable)
{
    if (!variable)
        return;
    if (place.Component.isEmpty()) {
        const QString name = variable->Name().isEmpty() ? QString::number(variable->Index()) : variable->Name();
        place.Component = QStringLiteral("Variables[%1]").arg(name);
    }
    NoteProperty(place, "Expression", variable->Expression());
}

} // namespace vorel
