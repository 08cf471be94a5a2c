#pragma once
// What a report reads: opening its data sets in an order that works, and
// the files they read (so that a writer can refuse to overwrite them).

#include <QString>
#include <QStringList>
#include <functional>

namespace vorel {

class TDataSet;
class TKVReport;

// Opens what the report reads, masters before their details: its DataSet,
// every band's data set and every data set it holds; those already open
// stay as they are. When a data set fails to open and `prefixOf` gives a
// non-empty text for it (a data set bound from outside: "--data Orders"),
// the error is raised again as "PREFIX: message", keeping its place.
void OpenReportDataSets(TKVReport& report, const std::function<QString(const TDataSet& dataSet)>& prefixOf = {});

// The files the data sets the report holds read their rows from (CSV
// files, SQLite databases), as they open them.
QStringList ReportDataFiles(TKVReport& report);

// Why writing `output` would destroy what the report is made from: it is
// the form file (when given) or one of the data files; "" when it is
// neither. Files are compared by device and inode, so a link of any kind
// (symbolic or hard) to an input is that input.
QString OutputOverwritesInput(const QString& output, const QString& formFile, const QStringList& dataFiles);

} // namespace vorel
