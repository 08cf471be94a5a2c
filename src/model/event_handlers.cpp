// Named event handlers: the table applications fill, binding a report's
// stored names to it, and the names as form properties.

#include "model/event_handlers.h"

#include "foundation/forms/form_objects.h"

namespace vorel {

namespace {

using THandler = TKVXEventHandlers::THandler;

// One event of the report: its stored name and how a handler is assigned
// (false when the handler is of another event type).
struct ReportEvent {
    const char* Name;
    bool (*Assign)(TKVReport* report, const THandler& handler);
};

template <auto Member>
bool AssignMember(TKVReport* report, const THandler& handler)
{
    using Event = std::remove_reference_t<decltype(report->*Member)>;
    const auto* typed = std::get_if<Event>(&handler);
    if (!typed)
        return false;
    report->*Member = *typed;
    return true;
}

// The frame's events, then the report's own, in declaration order.
constexpr ReportEvent kReportEvents[] = {
    {"OnBeginDoc", AssignMember<&TKVPrintBaseComponent::OnBeginDoc>},
    {"OnEndDoc", AssignMember<&TKVPrintBaseComponent::OnEndDoc>},
    {"OnBeginPage", AssignMember<&TKVPrintBaseComponent::OnBeginPage>},
    {"OnEndPage", AssignMember<&TKVPrintBaseComponent::OnEndPage>},
    {"OnPreview", AssignMember<&TKVPrintBaseComponent::OnPreview>},
    {"OnBeforePreview", AssignMember<&TKVPrintBaseComponent::OnBeforePreview>},
    {"OnAfterPreview", AssignMember<&TKVPrintBaseComponent::OnAfterPreview>},
    {"OnBeforePrint", AssignMember<&TKVPrintBaseComponent::OnBeforePrint>},
    {"OnAfterPrint", AssignMember<&TKVPrintBaseComponent::OnAfterPrint>},
    {"OnBeginColumn", AssignMember<&TKVReport::OnBeginColumn>},
    {"OnEndColumn", AssignMember<&TKVReport::OnEndColumn>},
    {"BeforeControlPrint", AssignMember<&TKVReport::BeforeControlPrint>},
    {"AfterControlPrint", AssignMember<&TKVReport::AfterControlPrint>},
    {"BeforeBandPrint", AssignMember<&TKVReport::BeforeBandPrint>},
    {"AfterBandPrint", AssignMember<&TKVReport::AfterBandPrint>},
    {"OnGetVariable", AssignMember<&TKVPrintBaseComponent::OnGetVariable>},
};

const ReportEvent* FindReportEvent(QStringView name)
{
    for (const ReportEvent& event : kReportEvents)
        if (name.compare(QLatin1StringView(event.Name), Qt::CaseInsensitive) == 0)
            return &event;
    return nullptr;
}

void DefineEventNames(TFiler& filer, TEventNames& names, const QStringList& events)
{
    for (const QString& event : events)
        filer.DefineEvent(
            event, [&names, event] { return names.Get(event); },
            [&names, event](const QString& method) { names.Set(event, method); });
}

} // namespace

void TKVXEventHandlers::Add(const QString& method, THandler handler)
{
    FHandlers.insert(method.toUpper(), std::move(handler));
}

void TKVXEventHandlers::Remove(const QString& method)
{
    FHandlers.remove(method.toUpper());
}

const TKVXEventHandlers::THandler* TKVXEventHandlers::Find(QStringView method) const
{
    const auto it = FHandlers.constFind(method.toString().toUpper());
    return it == FHandlers.constEnd() ? nullptr : &it.value();
}

TKVXEventHandlers& ReportEventHandlers()
{
    static TKVXEventHandlers handlers;
    return handlers;
}

const QStringList& ReportEventNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const ReportEvent& event : kReportEvents)
            list.append(QLatin1StringView(event.Name));
        return list;
    }();
    return names;
}

const QStringList& ControlEventNames()
{
    // The events among the properties every classic control carried.
    static const QStringList names = [] {
        QStringList list;
        for (const QString& name : InheritedFrameworkProperties())
            if (name.startsWith(u"On"))
                list.append(name);
        return list;
    }();
    return names;
}

QStringList BindReportEvents(TKVReport* report, const TKVXEventHandlers& handlers)
{
    QStringList unbound;
    if (!report)
        return unbound;
    const QString component = report->Name().isEmpty() ? report->ClassName() : report->Name();
    for (const auto& [event, method] : report->EventNames().Entries()) {
        const ReportEvent* target = FindReportEvent(event);
        if (!target)
            continue; // not a report event: kept for the form only
        const THandler* handler = handlers.Find(method);
        if (!handler) {
            unbound << QStringLiteral("%1.%2 = %3 (no such handler)").arg(component, event, method);
            continue;
        }
        if (!target->Assign(report, *handler))
            unbound << QStringLiteral("%1.%2 = %3 (the handler is of another event type)").arg(component, event, method);
    }
    return unbound;
}

void RegisterEventNameProperties()
{
    RegisterDefineProperties(&TKVReport::staticMetaObject, [](QObject* instance, TFiler& filer) {
        DefineEventNames(filer, static_cast<TKVReport*>(instance)->EventNames(), ReportEventNames());
    });
    RegisterDefineProperties(&TKVXControl::staticMetaObject, [](QObject* instance, TFiler& filer) {
        DefineEventNames(filer, static_cast<TKVXControl*>(instance)->EventNames(), ControlEventNames());
    });
}

void UnRegisterEventNameProperties()
{
    UnRegisterDefineProperties(&TKVXControl::staticMetaObject);
    UnRegisterDefineProperties(&TKVReport::staticMetaObject);
}

} // namespace vorel
