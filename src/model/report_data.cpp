#include "model/report_data.h"

#include "data/csv_dataset.h"
#include "data/sql_dataset.h"
#include "model/report.h"

#include <QFile>
#include <QSet>
#include <sys/stat.h>

namespace vorel {

void OpenReportDataSets(TKVReport& report, const std::function<QString(const TDataSet& dataSet)>& prefixOf)
{
    QSet<TDataSet*> visiting;
    std::function<void(TDataSet*)> open = [&](TDataSet* dataSet) {
        if (!dataSet || dataSet->Active() || visiting.contains(dataSet))
            return;
        visiting.insert(dataSet);
        if (auto* sql = qobject_cast<TSqlDataSet*>(dataSet))
            open(sql->Master());
        try {
            dataSet->Open();
        } catch (const EKVXError& e) {
            const QString prefix = prefixOf ? prefixOf(*dataSet) : QString();
            if (!prefix.isEmpty())
                throw EKVXError(QStringLiteral("%1: %2").arg(prefix, e.Message()), e.Place());
            throw;
        }
    };
    open(report.DataSet());
    for (TKVXBand* band : report.Bands())
        open(band->GetDataset());
    for (int i = 0; i < report.ComponentCount(); ++i)
        open(qobject_cast<TDataSet*>(report.Components(i)));
}

QStringList ReportDataFiles(TKVReport& report)
{
    QStringList files;
    for (int i = 0; i < report.ComponentCount(); ++i) {
        if (const auto* csv = qobject_cast<const TCsvDataSet*>(report.Components(i))) {
            files << csv->ResolvePath(csv->FileName());
        } else if (const auto* sql = qobject_cast<const TSqlDataSet*>(report.Components(i))) {
            if (!sql->DatabaseConnectionName().isEmpty())
                continue; // the application's connection
            const QString connection = sql->Connection().trimmed();
            if (!connection.startsWith(u"sqlite:", Qt::CaseInsensitive) &&
                !connection.startsWith(u"sqlite3:", Qt::CaseInsensitive))
                continue;
            QString path = connection.section(u':', 1);
            if (path.startsWith(u"//"))
                path = path.mid(2);
            files << sql->ResolvePath(path);
        }
    }
    return files;
}

namespace {

// One file whatever the names: hard links, links and bind mounts name the
// same device and inode (a name comparison let a hard link to the database
// be written over).
bool SameFile(const QString& a, const QString& b)
{
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0 || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false; // an output that does not exist yet overwrites nothing
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

QString OutputOverwritesInput(const QString& output, const QString& formFile, const QStringList& dataFiles)
{
    if (!formFile.isEmpty() && SameFile(output, formFile))
        return QStringLiteral("the output %1 is the report's own file %2; nothing written").arg(output, formFile);
    for (const QString& file : dataFiles)
        if (SameFile(output, file))
            return QStringLiteral("the output %1 is the data file %2 the report reads; nothing written")
                .arg(output, file);
    return {};
}

} // namespace vorel
