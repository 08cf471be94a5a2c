// Report, bands and controls through the form streaming core.

#include "model/report_form.h"

#include "data/data_manager.h"
#include "model/report.h"

#include <QPointer>
#include <memory>

namespace vorel {

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
        if (auto* report = qobject_cast<TKVReport*>(parent);
            report && metaObject->inherits(&TKVXBand::staticMetaObject) && !cleared->contains(report)) {
            // A form replaces the report's bands.
            cleared->append(report);
            report->DeleteAllBands();
        }
        return qobject_cast<TComponent*>(CreateObject(entry.ClassName, parent));
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
    options.ResolveReference = [](const QString& name) -> QObject* { return Application()->FindComponent(name); };
    return options;
}

QByteArray SaveReportComponent(TKVReport* report, bool text)
{
    const FormWriteOptions options = ReportFormWriteOptions();
    return text ? SaveComponentText(report, options) : SaveComponentBinary(report, options);
}

FormReadResult LoadReportComponent(TKVReport* report, QByteArrayView bytes)
{
    if (!report)
        throw EStreamError(QStringLiteral("Error reading form: no report to read into"));
    report->DeleteAllBands();
    report->SetLoading(true);
    try {
        FormReadResult result = LoadComponent(bytes, report, ReportFormReadOptions());
        report->SetLoading(false);
        return result;
    } catch (...) {
        report->SetLoading(false);
        throw;
    }
}

} // namespace vorel
