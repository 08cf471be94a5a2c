// Report, bands and controls through the form streaming core.

#include "model/report_form.h"

#include "data/data_manager.h"
#include "foundation/values/limits.h"
#include "model/report.h"

#include <QPointer>
#include <memory>

namespace vorel {

namespace {

// A control created inside a band of a report copies the report's font, so
// that is what its font is compared with: a font equal to the class's
// default but not to the report's must still be written.
const QObject* ContextFont(const QObject* instance, const QMetaProperty& property)
{
    const auto* control = qobject_cast<const TKVXControl*>(instance);
    if (!control || qobject_cast<const TKVXBand*>(instance) || !control->Report() || !control->GetParentBand())
        return nullptr;
    if (qstrcmp(property.name(), "Font") != 0)
        return nullptr;
    return control->Report()->Font();
}

// "Name" among the application's components, "Module.Name" inside one of
// them; "Application.Name" as the writer names what the application owns.
QObject* FindApplicationComponent(const QString& name)
{
    TComponent* found = Application();
    QStringList parts = name.split(u'.');
    if (parts.size() > 1 && parts.first().compare(found->Name(), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    for (const QString& part : parts) {
        found = found->FindComponent(part);
        if (!found)
            return nullptr;
    }
    return found;
}

} // namespace

FormWriteOptions ReportFormWriteOptions()
{
    FormWriteOptions options;
    options.GetChildren = [](TComponent* parent) {
        QList<TComponent*> children;
        if (auto* report = qobject_cast<TKVReport*>(parent)) {
            for (TKVXBand* band : report->Bands())
                children.append(band);
            // Components the report owns besides its bands (data sets of a
            // self-contained form) follow the bands.
            for (QObject* child : report->children())
                if (auto* component = qobject_cast<TComponent*>(child); component && !qobject_cast<TKVXBand*>(child))
                    children.append(component);
            return children;
        }
        if (auto* band = qobject_cast<TKVXBand*>(parent)) {
            for (TKVXControl* control : band->Objects())
                children.append(control);
            return children;
        }
        for (QObject* child : parent->children())
            if (auto* component = qobject_cast<TComponent*>(child))
                children.append(component);
        return children;
    };
    options.NestedDefault = ContextFont;
    return options;
}

FormReadOptions ReportFormReadOptions()
{
    FormReadOptions options;
    // Guarded pointers: a report freed after one reading must not pass for
    // a new one that happens to get its address.
    auto cleared = std::make_shared<QList<QPointer<TKVReport>>>();
    options.CreateChild = [cleared](TComponent* parent, const FormComponent& entry,
                                    const QMetaObject* metaObject) -> TComponent* {
        // Where an entry may stand: bands in the report, controls in bands;
        // anything else in a control would never be written again.
        const bool isControl = metaObject->inherits(&TKVXControl::staticMetaObject);
        const bool isBand = metaObject->inherits(&TKVXBand::staticMetaObject);
        if (auto* band = qobject_cast<TKVXBand*>(parent)) {
            if (isBand)
                throw EKVXError(QStringLiteral("A band cannot hold the band %1").arg(entry.ClassName));
            // Components that are no controls (a data set) belong to the report.
            if (!isControl && band->Report())
                parent = band->Report();
        } else if (qobject_cast<TKVXControl*>(parent)) {
            throw EKVXError(QStringLiteral("A %1 cannot hold a %2").arg(parent->ClassName(), entry.ClassName));
        } else if (qobject_cast<TKVReport*>(parent) && isControl && !isBand) {
            throw EKVXError(QStringLiteral("A %1 belongs in a band, not in the report").arg(entry.ClassName));
        }
        if (auto* report = qobject_cast<TKVReport*>(parent)) {
            if (isBand) {
                if (!cleared->contains(report)) {
                    // A form replaces the report's bands.
                    cleared->append(report);
                    report->DeleteAllBands();
                }
                if (report->Bands().size() >= limits::kReportBands)
                    throw EKVXError(QStringLiteral("A report holds at most %1 bands").arg(limits::kReportBands));
            } else if (!entry.Name.isEmpty()) {
                // A data set (or other component) of the form replaces the
                // one of that name the report held, so that loading twice
                // does not leave two components answering to one name.
                TComponent* old = report->FindComponent(entry.Name);
                if (old && !qobject_cast<TKVXBand*>(old))
                    delete old;
            }
        }
        auto* created = qobject_cast<TComponent*>(CreateObject(entry.ClassName, parent));
        if (auto* dataSet = qobject_cast<TDataSet*>(created))
            if (auto* report = qobject_cast<TKVReport*>(parent); report && !report->FormDirectory().isEmpty())
                dataSet->SetBaseDirectory(report->FormDirectory());
        return created;
    };
    options.ChildLoaded = [](TComponent* parent, TComponent* child) {
        if (auto* report = qobject_cast<TKVReport*>(parent)) {
            if (auto* band = qobject_cast<TKVXBand*>(child))
                report->AppendBandAsRead(band);
        } else if (auto* band = qobject_cast<TKVXBand*>(parent)) {
            if (auto* control = qobject_cast<TKVXControl*>(child); control && !qobject_cast<TKVXBand*>(child))
                band->AppendElement(control);
        }
    };
    options.ResolveReference = FindApplicationComponent;
    // A data set opens once its master and everything else is in place.
    options.DeferProperty = [](const QObject* instance, const QString& path) {
        return qobject_cast<const TDataSet*>(instance) && path.compare(u"Active", Qt::CaseInsensitive) == 0;
    };
    return options;
}

QByteArray SaveReportComponent(TKVReport* report, bool text)
{
    const FormWriteOptions options = ReportFormWriteOptions();
    return text ? SaveComponentText(report, options) : SaveComponentBinary(report, options);
}

FormReadResult ReadReportTree(TKVReport* report, const FormComponent& tree, const std::exception_ptr& parseError,
                              const std::function<QObject*(const QString& name)>& resolve)
{
    if (!report)
        throw EStreamError(QStringLiteral("Error reading form: no report to read into"));
    if (tree.ClassName.isEmpty()) {
        if (parseError)
            std::rethrow_exception(parseError);
        throw EStreamError(QStringLiteral("Error reading form: no component"));
    }
    if (const QMetaObject* meta = GetClass(tree.ClassName);
        meta && !report->metaObject()->inherits(meta) && !meta->inherits(report->metaObject())) {
        TErrorPlace place;
        place.Component = tree.Name.isEmpty() ? tree.ClassName : tree.Name;
        place.Offset = tree.Offset;
        place.Line = tree.Line;
        throw EStreamError(QStringLiteral("Error reading %1 at offset %2: the form holds a %3, not a report")
                               .arg(place.Component)
                               .arg(tree.Offset)
                               .arg(tree.ClassName),
                           place);
    }
    struct LoadingFlag {
        TKVReport* Report;
        bool Previous;
        ~LoadingFlag() { Report->SetLoading(Previous); }
    } flag{report, report->Loading()};
    report->SetLoading(true);
    report->DeleteAllBands();
    FormReadOptions options = ReportFormReadOptions();
    if (resolve)
        options.ResolveReference = [resolve](const QString& name) -> QObject* {
            if (QObject* found = resolve(name))
                return found;
            return FindApplicationComponent(name);
        };
    FormReadResult result = FormToComponent(tree, report, options);
    if (parseError)
        std::rethrow_exception(parseError);
    return result;
}

FormReadResult LoadReportComponent(TKVReport* report, QByteArrayView bytes)
{
    FormComponent tree;
    std::exception_ptr parseError;
    try {
        ReadFormAny(bytes, tree);
    } catch (const EStreamError&) {
        parseError = std::current_exception();
    }
    return ReadReportTree(report, tree, parseError);
}

} // namespace vorel
