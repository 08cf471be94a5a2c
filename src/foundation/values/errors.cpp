#include "foundation/values/errors.h"

namespace vorel {

QString FormatText(const QString& format, std::initializer_list<QString> args)
{
    QString out;
    out.reserve(format.size() + 16);
    auto arg = args.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        // Skip flags, width and precision: "%5d", "%-10s", "%.2f".
        qsizetype j = i + 1;
        while (j < format.size() && (format[j] == u'-' || format[j] == u'.' || format[j].isDigit()))
            ++j;
        if (j >= format.size()) {
            out += format.mid(i);
            break;
        }
        const QChar kind = format[j];
        if (kind == u'%') {
            out += u'%';
            i = j;
        } else if (QStringView(u"sdufegnxp").contains(kind.toLower()) && arg != args.end()) {
            out += *arg++;
            i = j;
        } else {
            out += c;
        }
    }
    return out;
}

void DatabaseError(const QString& message)
{
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const QString& format, std::initializer_list<QString> args)
{
    throw EDatabaseError(FormatText(format, args));
}

} // namespace vorel
