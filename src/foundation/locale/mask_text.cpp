// The classic edit-mask text formatter.
//
// A mask is "body[;save[;blank]]". In the body:
//   L l  letter (required / optional)      A a  letter or digit
//   C c  any character                     0 9  digit      #  digit or sign
//   >  upper case from here    <  lower case from here    <>  case as typed
//   !  missing characters are blanks on the left instead of the right
//   \  the next character is literal       _  a blank
//   /  the date separator                  :  the time separator
// anything else is literal. "save" 0 means the value holds only the input
// characters; otherwise (the default) it holds the literals too. The blank
// character is what an editor shows for an empty position; formatted text
// shows a blank there, as the classic formatter does.
#include "foundation/locale/format_settings.h"

#include <QVarLengthArray>

namespace vorel {

namespace {

enum class CaseMode : quint8 { Keep, Upper, Lower };

struct MaskItem {
    QChar Literal; // null for an input position
    CaseMode Case = CaseMode::Keep;
    bool IsInput() const { return Literal.isNull(); }
};

struct ParsedMask {
    QVarLengthArray<MaskItem, 48> Items;
    bool RightAlign = false;
    bool SaveLiterals = true;
    int InputCount = 0;
};

ParsedMask ParseMask(const QString& mask)
{
    ParsedMask pm;
    const TFormatSettings& fs = FormatSettings();
    CaseMode mode = CaseMode::Keep;
    qsizetype i = 0;
    const qsizetype n = mask.size();
    for (; i < n; ++i) {
        const QChar c = mask[i];
        if (c == u';')
            break;
        switch (c.unicode()) {
        case u'\\':
            if (i + 1 < n)
                pm.Items.append({mask[++i], mode});
            break;
        case u'!':
            pm.RightAlign = true;
            break;
        case u'>':
            if (i + 1 < n && mask[i + 1] == u'<') {
                mode = CaseMode::Keep;
                ++i;
            } else {
                mode = CaseMode::Upper;
            }
            break;
        case u'<':
            if (i + 1 < n && mask[i + 1] == u'>') {
                mode = CaseMode::Keep;
                ++i;
            } else {
                mode = CaseMode::Lower;
            }
            break;
        case u'L': case u'l': case u'A': case u'a': case u'C': case u'c':
        case u'0': case u'9': case u'#':
            pm.Items.append({QChar(), mode});
            ++pm.InputCount;
            break;
        case u'_':
            pm.Items.append({QChar(u' '), mode});
            break;
        case u'/':
            pm.Items.append({fs.DateSeparator, mode});
            break;
        case u':':
            pm.Items.append({fs.TimeSeparator, mode});
            break;
        default:
            pm.Items.append({c, mode});
            break;
        }
    }
    // The save field follows the first separator; the blank field the second.
    if (i < n && i + 1 < n && mask[i + 1] != u';')
        pm.SaveLiterals = mask[i + 1] != u'0';
    return pm;
}

QChar ApplyCase(QChar c, CaseMode mode)
{
    switch (mode) {
    case CaseMode::Upper: return c.toUpper();
    case CaseMode::Lower: return c.toLower();
    case CaseMode::Keep: break;
    }
    return c;
}

// The value holds only the characters typed into input positions.
QString FormatInputOnly(const ParsedMask& pm, const QString& value)
{
    QString out;
    out.reserve(pm.Items.size() + value.size());
    // With "!", a short value is right-aligned in the input positions.
    qsizetype lead = 0;
    if (pm.RightAlign && value.size() < pm.InputCount)
        lead = pm.InputCount - value.size();
    qsizetype vi = 0;
    for (const MaskItem& item : pm.Items) {
        if (!item.IsInput()) {
            out += item.Literal;
        } else if (lead > 0) {
            out += u' ';
            --lead;
        } else if (vi < value.size()) {
            out += ApplyCase(value[vi++], item.Case);
        } else {
            out += u' ';
        }
    }
    // Characters beyond the mask are kept rather than lost.
    out += QStringView(value).mid(vi);
    return out;
}

// The value holds the literals too: each run of input positions takes the
// value's text up to the literal that follows the run, padded to the run's
// length.
QString FormatWithLiterals(const ParsedMask& pm, const QString& value)
{
    QString out;
    out.reserve(pm.Items.size() + value.size());
    qsizetype vi = 0;
    const qsizetype count = pm.Items.size();
    for (qsizetype k = 0; k < count;) {
        const MaskItem& item = pm.Items[k];
        if (!item.IsInput()) {
            out += item.Literal;
            if (vi < value.size() && value[vi] == item.Literal)
                ++vi;
            ++k;
            continue;
        }
        qsizetype runEnd = k;
        while (runEnd < count && pm.Items[runEnd].IsInput())
            ++runEnd;
        const qsizetype runLength = runEnd - k;
        qsizetype segmentEnd;
        if (runEnd < count) {
            const qsizetype literalAt = value.indexOf(pm.Items[runEnd].Literal, vi);
            // Without the literal in the value, the run takes its own length.
            segmentEnd = literalAt >= 0 ? literalAt : qMin(value.size(), vi + runLength);
        } else {
            segmentEnd = value.size(); // the last run keeps everything left
        }
        const qsizetype segmentLength = segmentEnd - vi;
        const qsizetype pad = segmentLength < runLength ? runLength - segmentLength : 0;
        if (pm.RightAlign)
            out += QString(pad, u' ');
        for (qsizetype j = 0; j < segmentLength; ++j) {
            const CaseMode mode = pm.Items[qMin(k + j, runEnd - 1)].Case;
            out += ApplyCase(value[vi + j], mode);
        }
        if (!pm.RightAlign)
            out += QString(pad, u' ');
        vi = segmentEnd;
        k = runEnd;
    }
    out += QStringView(value).mid(vi);
    return out;
}

} // namespace

QString FormatMaskText(const QString& mask, const QString& value)
{
    if (mask.isEmpty())
        return value;
    const ParsedMask pm = ParseMask(mask);
    if (pm.Items.isEmpty())
        return value;
    return pm.SaveLiterals ? FormatWithLiterals(pm, value) : FormatInputOnly(pm, value);
}

} // namespace vorel
