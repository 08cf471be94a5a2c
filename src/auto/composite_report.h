#pragma once
// TKVXCompositeReport: the pages of other print components, one report
// after another, as one report to preview, print, save or export.
//
// The composite keeps page records of its own: each is a copy of a
// member's page record (the page's metafile bytes are shared, not
// copied) under the page index it has in the sequence. So preparing a
// member again, or freeing it, leaves the composite's pages as they were,
// and the members' own pages keep their indexes.

#include "frame/print_component.h"

#include <QPointer>

namespace vorel {

class TKVXCompositeReport : public TKVPrintBaseComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Several reports printed one after another as one report: each member prepares in turn and "
                       "its pages follow the previous member's.")
    Q_PROPERTY(bool AnimatedStatus READ AnimatedStatus WRITE SetAnimatedStatus)
    Q_CLASSINFO("Doc.AnimatedStatus", "Shows a progress display of the composite itself; each member shows its own "
                                      "as it prepares.")
public:
    Q_INVOKABLE explicit TKVXCompositeReport(QObject* owner = nullptr);

    // Appends a member (not owned). Refuses this composite itself and a
    // composite that holds this one, however deep (its preparation would
    // never end).
    void AddReport(TKVPrintBaseComponent* report);
    // Removes the member at the position; a position out of range is ignored.
    void RemoveReport(int index);
    // Forgets the pages and removes every member.
    void ClearReports();
    int ReportCount() const { return int(FReports.size()); }
    // The member at the position; nullptr out of range or once freed.
    TKVPrintBaseComponent* Report(int index) const;
    // Whether `report` is this composite or one of its members, however deep.
    bool Contains(const TKVPrintBaseComponent* report) const;

    void PrepareReport() override;

private:
    QList<QPointer<TKVPrintBaseComponent>> FReports;
};

} // namespace vorel
