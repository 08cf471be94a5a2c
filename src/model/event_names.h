#pragma once
// The method names of an object's event handlers, as report forms store
// them ("OnBeginDoc = PrintCover"). Events are std::function members, which
// have no name, so each report and control keeps the names its form gave
// (or a designer set) beside them: a form loaded and saved again keeps its
// event names, and an application binds the names to handlers through a
// TKVXEventHandlers table (model/event_handlers.h).

#include <QList>
#include <QString>
#include <utility>

namespace vorel {

class TEventNames {
public:
    // The method name of the event (compared without regard to case, as
    // the identifiers of forms are), or an empty string.
    QString Get(QStringView event) const
    {
        for (const auto& entry : FEntries)
            if (QStringView(entry.first).compare(event, Qt::CaseInsensitive) == 0)
                return entry.second;
        return QString();
    }
    // An empty method name removes the entry.
    void Set(const QString& event, const QString& method)
    {
        for (qsizetype i = 0; i < FEntries.size(); ++i) {
            if (FEntries[i].first.compare(event, Qt::CaseInsensitive) != 0)
                continue;
            if (method.isEmpty())
                FEntries.removeAt(i);
            else
                FEntries[i].second = method;
            return;
        }
        if (!method.isEmpty())
            FEntries.append({event, method});
    }
    bool IsEmpty() const { return FEntries.isEmpty(); }
    void Clear() { FEntries.clear(); }
    // (event, method name) in the order they were first set.
    const QList<std::pair<QString, QString>>& Entries() const { return FEntries; }

private:
    QList<std::pair<QString, QString>> FEntries; // a handful per object at most
};

} // namespace vorel
