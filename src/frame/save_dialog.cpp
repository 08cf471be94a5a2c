// The save/export dialog of the user-interface interface: the default that
// shows nothing, and the headless answer given beforehand.

#include "foundation/values/errors.h"
#include "frame/user_interface.h"

namespace vorel {

bool TKVXUserInterface::ShowSaveExportDialog(const TSaveExportRequest&, TSaveExportChoice&)
{
    return false;
}

void THeadlessUserInterface::SetSaveExportChoice(const QString& format, const QString& fileName,
                                                 const QList<int>& pages, bool separateFiles)
{
    FSaveChoiceGiven = true;
    FSaveFormat = format.trimmed();
    FSaveFileName = fileName;
    FSavePages = pages;
    FSaveSeparate = separateFiles;
}

bool THeadlessUserInterface::ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice& choice)
{
    if (!FSaveChoiceGiven)
        return false;
    QString wanted = FSaveFormat;
    if (wanted.startsWith(u'.'))
        wanted.remove(0, 1);
    int index = -1;
    for (int i = 0; i < request.Formats.size() && index < 0; ++i) {
        const TSaveExportFormat& f = request.Formats[i];
        if (f.Extension.compare(wanted, Qt::CaseInsensitive) == 0
            || (!f.ClassName.isEmpty() && f.ClassName.compare(wanted, Qt::CaseInsensitive) == 0)
            || f.Name.compare(wanted, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0)
        throw EKVXError(QStringLiteral("Unknown save format \"%1\"").arg(FSaveFormat));
    choice.FormatIndex = index;
    choice.FileName = FSaveFileName.isEmpty() ? request.FileName : FSaveFileName;
    choice.SeparateFiles = FSaveSeparate;
    choice.Pages = FSavePages;
    if (choice.Pages.isEmpty())
        for (int n = 1; n <= request.NumPages; ++n)
            choice.Pages.append(n);
    return !choice.FileName.isEmpty();
}

} // namespace vorel
