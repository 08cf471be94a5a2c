// System data values and the variable lookup of the print component frame.

#include "foundation/locale/format_settings.h"
#include "frame/print_component.h"

#include <cmath>

namespace vorel {

TFieldType SysDataFieldType(TKVXSysDataType type)
{
    switch (type) {
    case sdDate: return ftDate;
    case sdTime: return ftTime;
    case sdDateTime: return ftDateTime;
    case sdAuthor:
    case sdReportTitle:
    case sdSubject:
    case sdKeywords: return ftString;
    default: return ftInteger;
    }
}

Variant TKVPrintBaseComponent::GetSysDataValue(TKVXSysDataType type)
{
    switch (type) {
    case sdDate: return Variant(int(std::trunc(Now())));
    case sdTime: {
        const double now = Now();
        return Variant(now - std::trunc(now));
    }
    case sdDateTime: return Variant::FromDate(Now());
    case sdAuthor: return Variant(FKVProperty->Author());
    case sdReportTitle: return Variant(FKVProperty->Title());
    case sdSubject: return Variant(FKVProperty->Subject());
    case sdKeywords: return Variant(FKVProperty->Keywords());
    case sdPageNo: return Variant(GetPageNoCountBy() * (intCurPage + 1) + GetPageNoStartAt());
    case sdPageCount: return Variant(GetNumPages());
    case sdBarNo: return Variant(intCurBar + 1);
    case sdBarCount: return Variant(GetNumBars());
    case sdColumnNo: return Variant(GetCurColumn() + 1);
    case sdColumnCount: return Variant(GetColumnNumber());
    // Descendants that number detail rows supply the real value.
    case sdDetailNo: return Variant::FromShortInt(-1);
    // The generation engine supplies the band line number; here it stays unassigned.
    case sdBandLineNo: return Variant();
    }
    return Variant();
}

namespace {

// The upper-cased English names of the system data items: expressions name
// them in English whatever the component's language.
const std::array<QString, KVX_SYSDATA_COUNT>& SysDataKeys()
{
    static const std::array<QString, KVX_SYSDATA_COUNT> keys = [] {
        std::array<QString, KVX_SYSDATA_COUNT> result;
        for (int i = 0; i < KVX_SYSDATA_COUNT; ++i)
            result[size_t(i)] = GetSysDataName(lnEnglish, TKVXSysDataType(i)).toUpper();
        return result;
    }();
    return keys;
}

bool IsAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

bool SameUpperCase(QStringView a, QStringView b)
{
    // Upper-casing maps each character on its own and an ASCII character
    // to one ASCII character, so two texts whose upper-case forms part at
    // an ASCII pair part there too. Anything else is upper-cased in full:
    // upper-casing may change the length ("ß" is "SS") or reach ASCII from
    // outside it (a dotless i is "I").
    auto full = [&] { return a.toString().toUpper() == b.toString().toUpper(); };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            return full();
        if (x >= u'a' && x <= u'z')
            x = char16_t(x - 32);
        if (y >= u'a' && y <= u'z')
            y = char16_t(y - 32);
        if (x != y)
            return false;
    }
    if (a.size() == b.size())
        return true;
    return IsAscii((a.size() > n ? a : b).mid(n)) ? false : full();
}

void TKVPrintBaseComponent::KVXGetVariable(QObject* sender, const QString& name, bool& accept, TFieldType& variableType,
                                           Variant& value)
{
    const QStringView key = QStringView(name).trimmed();
    const auto& sysKeys = SysDataKeys();
    for (int i = 0; i < KVX_SYSDATA_COUNT; ++i) {
        if (SameUpperCase(key, sysKeys[size_t(i)])) {
            const auto type = TKVXSysDataType(i);
            accept = true;
            variableType = SysDataFieldType(type);
            value = GetSysDataValue(type);
            break;
        }
    }
    // A variable named like a system data item is never reached.
    if (!accept) {
        for (int i = 0; i < FVariables->Count(); ++i) {
            const TKVXVariable* variable = FVariables->GetVariable(i);
            if (SameUpperCase(key, variable->Name())) {
                accept = true;
                variableType = ftString;
                value = variable->CurValue().IsNull() ? Variant(QString()) : variable->CurValue();
                break;
            }
        }
    }
    if (OnGetVariable)
        OnGetVariable(sender, name, accept, variableType, value);
}

} // namespace vorel
