// The band: its type and name, data set, controls, group links and the
// group footer's change rule.

#include "model/band.h"

#include "foundation/language/language.h"
#include "model/report.h"

#include <algorithm>
#include <utility>

namespace vorel {

namespace {
constexpr int kTextNewControl = 1013; // "NewKVXControl"
} // namespace

TKVXBand::TKVXBand(QObject* owner) : TKVXControl(owner)
{
    if (auto* report = qobject_cast<TKVReport*>(owner)) {
        FReport = report;
        SetDisplayName(GetString(LanguageShift(), kTextNewControl));
    }
    SetHeight(100);
    SetTransparent(true);
}

TKVXBand::~TKVXBand()
{
    DeleteAllElements();
    // Controls owned by the band but never added to Objects are freed by
    // QObject after this destructor: they must not look back at the band.
    for (QObject* child : children())
        if (auto* control = qobject_cast<TKVXControl*>(child)) {
            control->FParentBand = nullptr;
            control->FReport = nullptr;
        }
    if (FReport)
        FReport->RemoveBand(this);
}

std::uint64_t TKVXBand::FSearchedElements = 0;

// --- properties -----------------------------------------------------------------------------

TDataSet* TKVXBand::GetDataset() const
{
    if (FDataset)
        return FDataset.data();
    return FReport ? FReport->DataSet() : nullptr;
}

void TKVXBand::SetDataset(TDataSet* dataSet)
{
    if (!dataSet || (FReport && dataSet == FReport->DataSet()))
        FDataset = nullptr;
    else
        FDataset = dataSet;
}

bool TKVXBand::IsPropertyStored(const char* name) const
{
    if (qstrcmp(name, "Dataset") == 0)
        return !FDataset.isNull();
    return TKVXControl::IsPropertyStored(name);
}

QString TKVXBand::BandTypeName(TBandType type, int languageShift)
{
    return GetString(languageShift, KVX_TEXT_BAND_TYPE + int(type));
}

QString TKVXBand::GetBandName() const
{
    return BandTypeName(FBandType, LanguageShift());
}

bool TKVXBand::IsAutomaticName(const QString& name, TBandType type) const
{
    // Names the band was given by its type ("BandDetail", made unique as
    // "BandDetail1") or by its constructor; anything else was typed by hand.
    const int lang = LanguageShift();
    if (name.isEmpty() || name == GetString(lang, kTextNewControl) || name == GetString(0, kTextNewControl))
        return true;
    const QString automatic = GetString(lang, KVX_TEXT_BAND) + BandTypeName(type, lang);
    if (!name.startsWith(automatic))
        return false;
    for (qsizetype i = automatic.size(); i < name.size(); ++i)
        if (name[i] < u'0' || name[i] > u'9')
            return false;
    return true;
}

void TKVXBand::SetBandType(TBandType value)
{
    if (FBandType == value)
        return;
    const TBandType old = FBandType;
    FBandType = value;
    // The classic band renamed itself unconditionally, so a form (which
    // stores the name before the type) lost every name given by hand on
    // loading; a name typed by hand now stays.
    if (!IsAutomaticName(DisplayName(), old))
        return;
    const int lang = LanguageShift();
    const QString name = GetString(lang, KVX_TEXT_BAND) + BandTypeName(value, lang);
    SetDisplayName(FReport ? FReport->GetUniqueName(name) : name);
}

// --- controls -------------------------------------------------------------------------------

int TKVXBand::GetBandIndex() const
{
    return FReport ? int(FReport->Bands().indexOf(const_cast<TKVXBand*>(this))) : -1;
}

const QMetaObject* TKVXBand::GetClassByName(const QString& name)
{
    const QMetaObject* meta = GetClass(name);
    return meta && meta->inherits(&TKVXControl::staticMetaObject) ? meta : nullptr;
}

int TKVXBand::AddElement(const QMetaObject* controlClass)
{
    if (!controlClass || !controlClass->inherits(&TKVXControl::staticMetaObject)
        || controlClass->inherits(&TKVXBand::staticMetaObject))
        throw EKVXError(QStringLiteral("Class %1 is not a report control")
                            .arg(controlClass ? MetaClassName(controlClass) : QStringLiteral("(none)")));
    QObject* created = controlClass->newInstance(Q_ARG(QObject*, this));
    auto* control = qobject_cast<TKVXControl*>(created);
    if (!control) {
        delete created;
        throw EKVXError(QStringLiteral("Class %1 could not be created").arg(MetaClassName(controlClass)));
    }
    // Unique before it joins the list, so that it is not compared with itself.
    if (FReport)
        control->SetDisplayName(FReport->GetUniqueName(control->DisplayName()));
    FObjects.append(control);
    control->FListed = true;
    if (FReport && FReport->OnDesignerMessage)
        FReport->OnDesignerMessage(control, KVX_MSG_ELEMENT_ADDED);
    return int(FObjects.size()) - 1;
}

int TKVXBand::AppendElement(TKVXControl* control)
{
    if (!control || control == this || qobject_cast<TKVXBand*>(control))
        return -1;
    control->MoveToBand(this);
    return int(FObjects.size()) - 1; // MoveToBand appends
}

int TKVXBand::GetElement(const TKVXControl* control) const
{
    const qsizetype index = FObjects.indexOf(const_cast<TKVXControl*>(control));
    FSearchedElements += std::uint64_t(index < 0 ? FObjects.size() : index + 1);
    return int(index);
}

void TKVXBand::RemoveObject(TKVXControl* control)
{
    // Listed once (MoveToBand and AddElement append only unlisted controls);
    // a control leaving is most often one of the last added.
    const qsizetype index = FObjects.lastIndexOf(control);
    FSearchedElements += std::uint64_t(index < 0 ? FObjects.size() : FObjects.size() - index);
    if (index >= 0)
        FObjects.removeAt(index);
    control->FListed = false;
}

void TKVXBand::DeleteAllElements()
{
    // Unlisted first, so that no control searches the list on its way out.
    const QList<TKVXControl*> controls = std::exchange(FObjects, {});
    QList<QObject*> doomed;
    doomed.reserve(controls.size());
    for (TKVXControl* control : controls) {
        control->FListed = false;
        doomed.append(control);
    }
    DeleteChildrenOf(this, doomed);
}

void TKVXBand::ChangeOrder(bool toFront)
{
    const QList<TKVXControl*> snapshot = FObjects;
    if (toFront) {
        for (qsizetype i = snapshot.size() - 1; i >= 0; --i)
            if (snapshot[i]->Selected()) {
                FObjects.removeAll(snapshot[i]);
                FObjects.append(snapshot[i]);
            }
    } else {
        for (TKVXControl* control : snapshot)
            if (control->Selected()) {
                FObjects.removeAll(control);
                FObjects.prepend(control);
            }
    }
    Invalidate();
}

bool GroupValueDiffers(const Variant& current, const Variant& previous)
{
    // Empty is "no group yet" (a reset, or before the first record); Null
    // is a value like any other, so records without one form one group.
    if (current.IsEmpty() || previous.IsEmpty())
        return true;
    if (current.IsNull() || previous.IsNull())
        return current.IsNull() != previous.IsNull();
    try {
        return !current.Equals(previous);
    } catch (const std::exception&) {
        return true; // values that cannot be compared differ
    }
}

int TKVXBand::GetLinkedFooterIndex() const
{
    if (!FReport)
        return -1;
    const QList<TKVXBand*>& bands = FReport->Bands();
    const int index = GetBandIndex();
    // Groups nest: headers stand outer first, footers inner first. Two
    // groups on the same expression pair up by that nesting (the inner
    // header with the first footer), so each header finds its own footer.
    auto same = [&](int i, TBandType type) {
        return bands[i]->BandType() == type && bands[i]->Expression() == FExpression;
    };
    int inner = 0; // groups on the same expression nested inside this one
    if (FBandType == btGroupHeader) {
        for (int i = index + 1; i < bands.size(); ++i) {
            if (same(i, btGroupHeader))
                ++inner;
            else if (same(i, btGroupFooter) && inner-- == 0)
                return i;
        }
    } else if (FBandType == btGroupFooter) {
        for (int i = index - 1; i >= 0; --i) {
            if (same(i, btGroupFooter))
                ++inner;
            else if (same(i, btGroupHeader) && inner-- == 0)
                return i;
        }
    }
    return -1;
}

int TKVXBand::GetColumnWidth() const
{
    if (!FReport)
        return Width();
    TKVXPrinter* printer = FReport->PrinterSetting();
    const int usable = printer->GetPaperWidthPixels() - printer->GetPageOffsetLeft() - printer->GetPageOffsetRight();
    // A form with no columns or bars would divide by zero: count at least one.
    const int columns = std::max(1, FReport->ColumnNumber());
    const int bars = std::max(1, FReport->BarNumber());
    return (usable * bars - (columns - 1) * FReport->ColumnSpace()) / (columns * bars);
}

bool TKVXBand::ValueChanged()
{
    if (GetIsGroup() ? GroupValueDiffers(GetCurValue(), GetPrevValue()) : TKVXControl::ValueChanged())
        return true;
    if (FBandType != btGroupFooter || !FReport)
        return false;
    TKVXBand* next = FReport->GetBand(GetBandIndex() + 1);
    return next && next->GetIsGroup() && next->ValueChanged();
}

} // namespace vorel
