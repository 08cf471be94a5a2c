#pragma once
// Binding a report form's data sets to other sources before the form is
// read, so that the form's own sources are never opened. The source is
// written as on the command line (vorel render --data NAME=SOURCE) and in
// vorel::Report::setDataSource:
//   csv:PATH                       a CSV file with a header row
//   sqlite:PATH[?sql=SELECT ...]   an SQLite database; without sql= the
//                                  form's SQL stays
//   postgresql://USER@HOST/DB[?sql=SELECT ...]
// Relative paths are taken from the working directory (the form's own
// relative paths are taken from the form's folder). The text after "sql="
// is the query as it stands, up to the end of the source.
//
// Messages start with a prefix the caller chooses ("--data Orders" for the
// tool, "data source Orders" for the application's class): every function
// taking `prefixFormat` puts the data set's name for its "%1".

#include "foundation/forms/form_stream.h"

#include <QList>
#include <QString>

namespace vorel {

struct TDataBinding {
    QString Name;       // the data set's component name
    bool Csv = false;
    QString Location;   // CSV file, or the connection string without the query
    QString Sql;        // empty: keep the form's
};

// Parses SOURCE into binding (all but Name); false and a message without
// prefix ("the CSV source names no file") when malformed.
bool ParseDataSource(const QString& source, TDataBinding& binding, QString& error);

// Rewrites the data set entries of a report form's component tree: every
// data set entry of the name (names are not case-sensitive) gets the source
// and is left closed, to be opened once the form is read. A name the form
// neither holds nor refers to raises EKVXError listing the data sets it has;
// so does an SQL source without a query for a form data set that has none,
// and a CSV source for a detail (a CSV file cannot follow its master).
void ApplyDataBindings(FormComponent& tree, const QList<TDataBinding>& bindings, const QString& prefixFormat);

// The data set entries of the name the tree holds. An entry of the name
// that is no data set raises EKVXError ("PREFIX: the form's NAME is a
// CLASS, not a data set"); no entry gives an empty list when the form
// refers to the name, and raises naming the data sets it has otherwise.
QList<FormComponent*> FindDataSetEntries(FormComponent& tree, const QString& name, const QString& prefixFormat);

// Removes the data set entries of the name (see FindDataSetEntries for the
// errors), so that the form's references to it are answered from outside:
// an application's own data set takes their place.
void RemoveDataSetEntries(FormComponent& tree, const QString& name, const QString& prefixFormat);

// Leaves the data set entries of the name closed (no Active), to be opened
// once the form is read and the caller has set them up; each must be of
// the class (or a descendant of it), else EKVXError ("PREFIX: the form's
// NAME is a CLASS, not a TSqlDataSet"). A name the form does not hold raises.
void KeepDataSetClosed(FormComponent& tree, const QString& name, const QMetaObject* dataSetClass,
                       const QString& prefixFormat);

} // namespace vorel
