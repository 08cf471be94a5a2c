#include "foundation/values/errors.h"

#include <QStringList>

namespace vorel {

void TErrorPlace::Fill(const TErrorPlace& outer)
{
    if (File.isEmpty())
        File = outer.File;
    if (Line == 0)
        Line = outer.Line;
    if (Offset < 0)
        Offset = outer.Offset;
    if (Component.isEmpty())
        Component = outer.Component;
    if (Band.isEmpty())
        Band = outer.Band;
    if (Control.isEmpty())
        Control = outer.Control;
    if (Property.isEmpty())
        Property = outer.Property;
    if (Position < 0 && (Expression.isEmpty() || Expression == outer.Expression))
        Position = outer.Position;
    if (Expression.isEmpty())
        Expression = outer.Expression;
}

QString TErrorPlace::Describe() const
{
    QStringList parts;
    if (!File.isEmpty())
        parts << File;
    if (Line > 0)
        parts << (Offset >= 0 ? QStringLiteral("line %1 (offset %2)").arg(Line).arg(Offset)
                              : QStringLiteral("line %1").arg(Line));
    else if (Offset >= 0)
        parts << QStringLiteral("offset %1").arg(Offset);

    // What: the component (or band and control), then the property.
    QString what = Component;
    if (what.isEmpty())
        what = Band.isEmpty() ? Control : Control.isEmpty() ? Band : Band + u'.' + Control;
    if (!Property.isEmpty())
        what = what.isEmpty() ? Property : what + u'.' + Property;
    if (!Expression.isEmpty()) {
        const QString quoted = u'"' + Expression + u'"';
        what = what.isEmpty() ? QStringLiteral("expression ") + quoted : what + u' ' + quoted;
        if (Position >= 0)
            what += QStringLiteral(" at character %1").arg(Position + 1);
    }
    if (!what.isEmpty())
        parts << what;
    return parts.join(QStringLiteral(", "));
}

QString FormatText(const QString& format, std::initializer_list<QString> args)
{
    QString out;
    out.reserve(format.size() + 16);
    auto arg = args.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        // Skip flags, width and precision: "%5d", "%-10s", "%.2f".
        qsizetype j = i + 1;
        while (j < format.size() && (format[j] == u'-' || format[j] == u'.' || format[j].isDigit()))
            ++j;
        if (j >= format.size()) {
            out += format.mid(i);
            break;
        }
        const QChar kind = format[j];
        if (kind == u'%') {
            out += u'%';
            i = j;
        } else if (QStringView(u"sdufegnxp").contains(kind.toLower()) && arg != args.end()) {
            out += *arg++;
            i = j;
        } else {
            out += c;
        }
    }
    return out;
}

void DatabaseError(const QString& message)
{
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const QString& format, std::initializer_list<QString> args)
{
    throw EDatabaseError(FormatText(format, args));
}

} // namespace vorel
