#pragma once
// Print-when settings of a control or band: a condition that must hold
// (ShowIf), a condition that hides it (HideWhen), suppression of repeated
// values and removal of empty text lines. The report evaluates the two
// conditions before each record pass (TKVReport::UpdateControlStates); the
// control's drawing applies the repetition and blank-line rules.

#include "foundation/components/component.h"

#include <QString>

namespace vorel {

class TKVPrintWhen : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "When a control or band prints: conditions, suppression of repeated values and removal of "
                       "empty lines.")
    Q_PROPERTY(bool RepeatedValues READ RepeatedValues WRITE SetRepeatedValues)
    Q_CLASSINFO("Doc.RepeatedValues", "False: a value equal to the one the control printed last prints nothing and "
                                      "takes no room (unless a setting below prints it again).")
    Q_PROPERTY(bool RePrintOnNewPage READ RePrintOnNewPage WRITE SetRePrintOnNewPage)
    Q_CLASSINFO("Doc.RePrintOnNewPage", "With RepeatedValues False: a suppressed value prints again in the first "
                                        "band of a new page or column.")
    Q_PROPERTY(bool OnGroupChange READ OnGroupChange WRITE SetOnGroupChange)
    Q_CLASSINFO("Doc.OnGroupChange", "With RepeatedValues False: a suppressed value prints again at the first print "
                                     "after the header of the group in GroupName.")
    Q_PROPERTY(QString GroupName READ GroupName WRITE SetGroupName)
    Q_CLASSINFO("Doc.GroupName", "The group expression OnGroupChange watches.")
    Q_PROPERTY(bool OnOverflow READ OnOverflow WRITE SetOnOverflow)
    Q_CLASSINFO("Doc.OnOverflow", "With RepeatedValues False: a suppressed value prints again after a detail or "
                                  "sub-detail band moved on to a new page or column.")
    Q_PROPERTY(bool RemoveBlankLine READ RemoveBlankLine WRITE SetRemoveBlankLine)
    Q_CLASSINFO("Doc.RemoveBlankLine", "An empty value takes no height instead of one blank line.")
    Q_PROPERTY(QString ShowIf READ ShowIf WRITE SetShowIf)
    Q_CLASSINFO("Doc.ShowIf", "When not empty: the control or band prints only while this condition holds (decided "
                              "for each record).")
    Q_PROPERTY(QString HideWhen READ HideWhen WRITE SetHideWhen)
    Q_CLASSINFO("Doc.HideWhen", "When not empty: the control or band does not print while this condition holds.")
public:
    Q_INVOKABLE explicit TKVPrintWhen(QObject* owner = nullptr) : TPersistent(owner) {}

    // false: while generating, a control whose value equals the value it
    // printed last prints nothing and takes no height.
    bool RepeatedValues() const { return FRepeatedValues; }
    void SetRepeatedValues(bool value) { FRepeatedValues = value; }
    // The three "Also print" settings are stored, copied and edited; the
    // generation engine does not consult them.
    bool RePrintOnNewPage() const { return FRePrintOnNewPage; }
    void SetRePrintOnNewPage(bool value) { FRePrintOnNewPage = value; }
    bool OnGroupChange() const { return FOnGroupChange; }
    void SetOnGroupChange(bool value) { FOnGroupChange = value; }
    QString GroupName() const { return FGroupName; }
    void SetGroupName(const QString& value) { FGroupName = value; }
    bool OnOverflow() const { return FOnOverflow; }
    void SetOnOverflow(bool value) { FOnOverflow = value; }
    // An empty text takes no height instead of one line.
    bool RemoveBlankLine() const { return FRemoveBlankLine; }
    void SetRemoveBlankLine(bool value) { FRemoveBlankLine = value; }
    // When not empty: the control prints only when this expression is true.
    QString ShowIf() const { return FShowIf; }
    void SetShowIf(const QString& value) { FShowIf = value; }
    // When not empty: the control does not print when this expression is true.
    QString HideWhen() const { return FHideWhen; }
    void SetHideWhen(const QString& value) { FHideWhen = value; }

    // Copies all eight settings.
    void Assign(const TPersistent* source) override;

private:
    bool FRepeatedValues = true;
    bool FRePrintOnNewPage = false;
    bool FOnGroupChange = false;
    QString FGroupName;
    bool FOnOverflow = false;
    bool FRemoveBlankLine = false;
    QString FShowIf;
    QString FHideWhen;
};

} // namespace vorel
