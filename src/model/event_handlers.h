#pragma once
// Event handlers by method name. A report form names the handler of each
// assigned event ("OnGetVariable = LookUpTotals"); the report and its
// controls keep those names (TEventNames), and an application binds them to
// code through a table of named handlers:
//
//     ReportEventHandlers().Add(QStringLiteral("LookUpTotals"), TGetVariableEvent(...));
//     report.LoadReport(fileName); // binds every named report event the table holds
//
// A name the table does not hold (or holds with a handler of another event
// type) leaves the event as it was and is listed in the load result, so a
// form from another tool still loads and keeps its names when saved again.
// The framework's mouse and drag events a control may name (OnClick ...)
// are kept for the form only: controls have no such events here.

#include "model/report.h"

#include <QHash>
#include <QStringList>
#include <variant>

namespace vorel {

class TKVXEventHandlers {
public:
    using THandler = std::variant<TNotifyEvent, TPageEvent, TColumnEvent, TGenerateBeforeEvent,
                                  TGenerateAfterEvent, TGetVariableEvent>;

    // Adds or replaces the handler of a method name (compared without regard to case).
    void Add(const QString& method, THandler handler);
    void Remove(const QString& method);
    void Clear() { FHandlers.clear(); }
    const THandler* Find(QStringView method) const;
    bool IsEmpty() const { return FHandlers.isEmpty(); }

private:
    QHash<QString, THandler> FHandlers; // by upper-cased method name
};

// The process-wide table report loading binds from when no other is given.
TKVXEventHandlers& ReportEventHandlers();

// The report's events a form may name, in declaration order (the frame's,
// then the report's own).
const QStringList& ReportEventNames();
// The framework's control events a form may name (mouse, drag, dock).
const QStringList& ControlEventNames();

// Assigns every event of the report whose stored name the table holds with
// a handler of the event's type. Returns one line per name it could not
// bind: "Report1.OnBeginDoc = PrintCover (no such handler)".
QStringList BindReportEvents(TKVReport* report, const TKVXEventHandlers& handlers);

// The event names as form properties of the report and of every control
// (called by RegisterModelClasses).
void RegisterEventNameProperties();
void UnRegisterEventNameProperties();

} // namespace vorel
