#include "cli/diagnose.h"

#include "expr/expressions.h"
#include "foundation/components/component.h"
#include "model/report.h"

#include <QMetaProperty>

namespace vorel::cli {

namespace {

bool IsExpressionProperty(const char* name)
{
    for (const char* known : {"Expression", "ShowIf", "HideWhen", "OutlineExpression", "GroupChange", "VariableChange"})
        if (qstrcmp(name, known) == 0)
            return true;
    return false;
}

QString Label(const QObject* object, int index)
{
    const QString name = object->objectName();
    if (!name.isEmpty())
        return name;
    const QString className = QString::fromLatin1(object->metaObject()->className()).section(QStringLiteral("::"), -1);
    return index >= 0 ? QStringLiteral("%1 #%2").arg(className).arg(index + 1) : className;
}

struct Search {
    TKVXDataManager* Manager;
    const TGetVariableEvent& Lookup;
    const QString& Message;
    QString Found;

    // Depth-first over the object's expression texts, its nested objects
    // and collection items.
    void Visit(const QObject* object, const QString& path, int depth = 0)
    {
        if (!object || !Found.isEmpty() || depth > 6)
            return;
        const QMetaObject* meta = object->metaObject();
        for (int i = 0; i < meta->propertyCount() && Found.isEmpty(); ++i) {
            const QMetaProperty property = meta->property(i);
            if (property.metaType().id() == QMetaType::QString && IsExpressionProperty(property.name())) {
                const QString text = property.read(object).toString();
                if (text.trimmed().isEmpty())
                    continue;
                try {
                    EvaluateValue(Manager, text, Lookup);
                } catch (const EKVXError& e) {
                    if (e.Message() == Message || Message.endsWith(e.Message()))
                        Found = QStringLiteral("%1.%2 \"%3\"").arg(path, QString::fromLatin1(property.name()), text);
                }
            } else if (property.metaType().flags() & QMetaType::PointerToQObject) {
                const QObject* nested = property.read(object).value<QObject*>();
                // Only what the object owns: references (a data set) lead elsewhere.
                if (nested && nested->parent() == object && !qobject_cast<const TComponent*>(nested))
                    Visit(nested, path + u'.' + QString::fromLatin1(property.name()), depth + 1);
            }
        }
        if (const auto* collection = qobject_cast<const TCollection*>(object))
            for (int k = 0; k < collection->Count() && Found.isEmpty(); ++k)
                Visit(collection->Items(k), path + QStringLiteral("[%1]").arg(k), depth + 1);
    }
};

} // namespace

QString FindFailingExpression(TKVReport& report, const QString& message)
{
    Search search{report.GetDataManager(), report.VariableEvent(), message, {}};
    search.Visit(report.Variables(), QStringLiteral("Variables"));
    for (int b = 0; b < report.BandCount() && search.Found.isEmpty(); ++b) {
        const TKVXBand* band = report.GetBand(b);
        const QString bandLabel = Label(band, -1) == QStringLiteral("TKVXBand")
                                      ? QStringLiteral("band %1").arg(b + 1)
                                      : Label(band, -1);
        search.Visit(band, bandLabel);
        for (int c = 0; c < band->ObjectCount() && search.Found.isEmpty(); ++c)
            search.Visit(band->Object(c), bandLabel + u'.' + Label(band->Object(c), c));
    }
    return search.Found;
}

} // namespace vorel::cli
