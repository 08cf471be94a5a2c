#pragma once
// TKVXBand: one horizontal band of a report (title, page header, column
// header, group header, detail, sub-detail, group footer, column footer,
// page footer, summary). A band is itself a control (frame, background,
// highlights, print-when) and owns the ordered list of controls it prints.
//
// The band generation operations (PrintBand, UpdateGroupValue,
// GetFullGroupHeight) belong to the generation engine and are implemented in
// src/engine/; ValueChanged's group-footer rule is implemented here because
// it is the band's own override of the control rule.

#include "data/dataset.h"
#include "model/control.h"

#include <QList>
#include <QPointer>
#include <cstdint>

namespace vorel {

class TBandTypes {
    Q_GADGET
public:
    // The values are the stored byte; the rank (BandRank) decides the order
    // of the report's band list.
    enum TBandType {
        btNone,
        btReportTitle,
        btPageHeader,
        btColumnHeader,
        btGroupHeader,
        btDetail,
        btGroupFooter,
        btColumnFooter,
        btPageFooter,
        btReportSummary,
        btSubDetail
    };
    Q_ENUM(TBandType)
    Q_CLASSINFO("Doc.btNone", "No type yet: the band never prints.")
    Q_CLASSINFO("Doc.btReportTitle", "Once at the start of the report, at the top of the first page (with NewPage, "
                                     "on a page of its own).")
    Q_CLASSINFO("Doc.btPageHeader", "At the top of every page (with NewPage False, not on the first page of each bar).")
    Q_CLASSINFO("Doc.btColumnHeader", "At the top of every column, below the page header.")
    Q_CLASSINFO("Doc.btGroupHeader", "Where its group begins (the record at which its Expression's value changes), "
                                     "before that record's detail.")
    Q_CLASSINFO("Doc.btDetail", "Once for every record of the report's DataSet.")
    Q_CLASSINFO("Doc.btGroupFooter", "Where its group ends, after the group's last record and its sub-detail rows "
                                     "(inner groups first).")
    Q_CLASSINFO("Doc.btColumnFooter", "At the bottom of every column.")
    Q_CLASSINFO("Doc.btPageFooter", "At the bottom of every page, painted when the page is complete (with NewPage "
                                    "False, not on the first page of each bar).")
    Q_CLASSINFO("Doc.btReportSummary", "Once after the last record, at the end of the report.")
    Q_CLASSINFO("Doc.btSubDetail", "Once for every row of its own Dataset, after each detail record (the master's "
                                   "detail rows).")
};
using TBandType = TBandTypes::TBandType;
using enum TBandTypes::TBandType;
constexpr int KVX_BAND_TYPE_COUNT = 11;

// The sub-detail ranks 6, between detail (5) and group footer; every other
// type below 6 ranks as its value, every other from 6 up as its value + 1.
constexpr int BandRank(TBandType type)
{
    if (type == btSubDetail)
        return 6;
    return int(type) < 6 ? int(type) : int(type) + 1;
}

// Text ids: "Band" and the band type names (1050 + type).
constexpr int KVX_TEXT_BAND = 1049;
constexpr int KVX_TEXT_BAND_TYPE = 1050;

class TKVXBand : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "One horizontal band of a report (title, page header, group header, detail, ...). A band is a "
                       "control itself (frame, background, highlights, print-when) and holds the controls it prints.")
    Q_CLASSINFO("Doc.Height", "The band's height in report pixels; a stretching band grows to its tallest control.")
    Q_CLASSINFO("Doc.DisplayName", "The band's name in the designer; follows its BandType until changed by hand.")
    Q_CLASSINFO("Doc.Left", "Where the band's own frame and background start, from the column's left edge, in report "
                            "pixels.")
    Q_CLASSINFO("Doc.Width", "The width of the band's own frame and background, in report pixels.")
    Q_CLASSINFO("Doc.Top", "Not used when printing: a band prints where the page has room for it.")
    Q_PROPERTY(vorel::TDataSet* Dataset READ GetDataset WRITE SetDataset)
    Q_CLASSINFO("Doc.Dataset", "Sub-detail band: the data set whose rows it prints, one print per row; otherwise, "
                               "and while not set, the report's DataSet.")
    Q_PROPERTY(bool IsGroup READ GetIsGroup STORED false)
    Q_CLASSINFO("Doc.IsGroup", "True for group headers and footers.")
    Q_PROPERTY(int LinkedBand READ LinkedBand WRITE SetLinkedBand)
    Q_CLASSINFO("Doc.LinkedBand", "The index of the footer that closes a group header; the report keeps it up to date.")
    Q_PROPERTY(vorel::TBandTypes::TBandType BandType READ BandType WRITE SetBandType)
    Q_CLASSINFO("Doc.BandType", "What the band prints and when (see Band types).")
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("Doc.Stretch", "The band grows to its tallest control (texts that wrap, rich text) instead of "
                               "keeping its Height.")
    Q_PROPERTY(bool NewPage READ NewPage WRITE SetNewPage)
    Q_CLASSINFO("Doc.NewPage", "Title: a page of its own; page header or footer: also on the first page of each bar; "
                               "group header: each group on a new page; detail, sub-detail or group footer: a new "
                               "page after each print; summary: on a new page.")
    Q_PROPERTY(bool ReprintHeader READ ReprintHeader WRITE SetReprintHeader)
    Q_CLASSINFO("Doc.ReprintHeader", "Group header: printed again at the top of each page or column its group "
                                     "continues on.")
    Q_PROPERTY(double LessThan READ LessThan WRITE SetLessThan)
    Q_CLASSINFO("Doc.LessThan", "Group header: moves to a new page when less room than this is left, in report pixels.")
    Q_PROPERTY(bool NewPageIfNotFit READ NewPageIfNotFit WRITE SetNewPageIfNotFit)
    Q_CLASSINFO("Doc.NewPageIfNotFit", "Group header: the whole group (header, records, footer) moves to a new page "
                                       "when it does not fit the rest of this one.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "Group header and footer: the group expression; a group begins where its value "
                                  "changes, and a header pairs with the footer of the same text.")
    Q_PROPERTY(int LineNo READ LineNo STORED false)
    Q_CLASSINFO("Doc.LineNo", "The line number the band's next print gets (BandLineNo counts prints from 1).")
    // Height is the control's (declared default 100 here: the constructor
    // sets it, and form defaults come from a freshly constructed band).
    Q_PROPERTY(QString OutlineExpression READ OutlineExpression WRITE SetOutlineExpression)
    Q_CLASSINFO("Doc.OutlineExpression", "When not empty: every print of the band adds a bookmark whose text is this "
                                         "expression's value.")
public:
    // Inside a report (owner) the band links to it; it joins the report's
    // Bands through AddBand/AppendBand or when read from a form.
    Q_INVOKABLE explicit TKVXBand(QObject* owner = nullptr);
    // Frees its controls and leaves the report's Bands.
    ~TKVXBand() override;

    // --- published ---
    // The band's own data set, or the report's DataSet when none is set.
    TDataSet* GetDataset() const;
    // Setting the report's DataSet (or none) clears the band's own reference.
    void SetDataset(TDataSet* dataSet);
    bool GetIsGroup() const { return FBandType == btGroupHeader || FBandType == btGroupFooter; }
    // Index of the group footer linked to this group header (the group lookahead recomputes it).
    int LinkedBand() const { return FLinkedBand; }
    void SetLinkedBand(int value) { FLinkedBand = value; }
    TBandType BandType() const { return FBandType; }
    // A new type renames the band "Band<type name>", made unique, unless its
    // display name was changed by hand.
    void SetBandType(TBandType value);
    // The band grows to its tallest control instead of keeping its height.
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value) { FStretch = value; }
    // Title: new page after it; page header/footer: printed on the first
    // page of each bar too; group header: each group on a new page; summary:
    // on a new page.
    bool NewPage() const { return FNewPage; }
    void SetNewPage(bool value) { FNewPage = value; }
    bool ReprintHeader() const { return FReprintHeader; }
    void SetReprintHeader(bool value) { FReprintHeader = value; }
    // Report pixels: a group header starts a new page when less is left.
    double LessThan() const { return FLessThan; }
    void SetLessThan(double value) { FLessThan = value; }
    bool NewPageIfNotFit() const { return FNewPageIfNotFit; }
    void SetNewPageIfNotFit(bool value) { FNewPageIfNotFit = value; }
    // Group bands: the group expression; a header and a footer with the same
    // text form one group.
    QString Expression() const { return FExpression; }
    void SetExpression(const QString& value) { FExpression = value; }
    // Number of the next print of this band (counted by the engine's measuring).
    int LineNo() const { return FLineNo; }
    void SetLineNo(int value) { FLineNo = value; }
    QString OutlineExpression() const { return FOutlineExpression; }
    void SetOutlineExpression(const QString& value) { FOutlineExpression = value; }

    // --- the band's controls ---
    const QList<TKVXControl*>& Objects() const { return FObjects; }
    int ObjectCount() const { return int(FObjects.size()); }
    TKVXControl* Object(int index) const { return index >= 0 && index < FObjects.size() ? FObjects[index] : nullptr; }

    // The type's display name in the report's language.
    QString GetBandName() const;
    static QString BandTypeName(TBandType type, int languageShift);
    // Position in the report's Bands, or -1.
    int GetBandIndex() const;
    // The control class registered for streaming under the name, when it
    // derives from TKVXControl; else none.
    static const QMetaObject* GetClassByName(const QString& name);
    // Creates a control of the class owned by the band, gives it a unique
    // display name, appends it; returns its index.
    int AddElement(const QMetaObject* controlClass);
    // Appends a control created elsewhere (and links it); returns its index.
    int AppendElement(TKVXControl* control);
    // Index in Objects, or -1.
    int GetElement(const TKVXControl* control) const;
    // Frees and removes the controls, in time linear in their count.
    void DeleteAllElements();
    // ToFront: every selected control, last to first, moves to the end of
    // Objects (prints over the others); else, first to last, to the start.
    void ChangeOrder(bool toFront);
    // Group header: the first later footer with exactly the same Expression;
    // group footer: the nearest earlier header with it; otherwise -1.
    int GetLinkedFooterIndex() const;
    // Column width in report pixels for the designer's ruler.
    int GetColumnWidth() const;

    // Dataset goes into a form only when the band has its own: its declared
    // default is the report's DataSet, which the getter returns otherwise.
    bool IsPropertyStored(const char* name) const override;

    // Group bands compare their group values (GroupValueDiffers), other
    // bands follow the control rule; and a group footer whose value did not
    // change reports a change when the band right after it is a group band
    // that does (footers stand innermost first, so an outer group's change
    // makes every inner footer print).
    bool ValueChanged() override;

    // --- generation (src/engine/) ---
    int PrintBand(int top, int bottom, unsigned flags);
    void UpdateGroupValue();
    int GetFullGroupHeight(int top, int bottom);

private:
    friend class TKVXControl;
    friend class TKVReport;
    void RemoveObject(TKVXControl* control); // from Objects only

public:
    // Elements looked at by searches of a band's Objects (GetElement, a
    // control leaving its band), over all bands since the start: lets tests
    // check that loading and freeing many controls does not search the list
    // once per control.
    static std::uint64_t SearchedElements() { return FSearchedElements; }

private:
    static std::uint64_t FSearchedElements;
    bool IsAutomaticName(const QString& name, TBandType type) const;

    QPointer<TDataSet> FDataset; // a freed data set drops out by itself
    int FLinkedBand = 0;
    TBandType FBandType = btNone;
    bool FStretch = false;
    bool FNewPage = false;
    bool FReprintHeader = false;
    double FLessThan = 0;
    bool FNewPageIfNotFit = false;
    QString FExpression;
    int FLineNo = 1;
    QString FOutlineExpression;
    QList<TKVXControl*> FObjects;
};

// The one "group changed" test: whether a group band's current value
// starts another group than its previous one. Empty means no group yet;
// Null is a group value of its own (consecutive records without a value form
// one group).
bool GroupValueDiffers(const Variant& current, const Variant& previous);

} // namespace vorel
