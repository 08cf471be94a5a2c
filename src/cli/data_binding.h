#pragma once
// Data sets given on the command line: `--data NAME=SOURCE` binds the data
// set NAME a form holds or refers to to another source, before the form is
// read, so that the form's own source is never opened:
//   csv:PATH                       a CSV file with a header row
//   sqlite:PATH[?sql=SELECT ...]   an SQLite database; without sql= the
//                                  form's SQL stays
//   postgresql://USER@HOST/DB[?sql=SELECT ...]
// Relative paths are taken from the working directory (the form's own
// relative paths are taken from the form's folder). The text after "sql="
// is the query as it stands, up to the end of the argument.

#include "foundation/forms/form_stream.h"

#include <QList>
#include <QString>

namespace vorel::cli {

struct TDataBinding {
    QString Name;       // the data set's component name
    bool Csv = false;
    QString Location;   // CSV file, or the connection string without the query
    QString Sql;        // empty: keep the form's
};

// Parses "NAME=SOURCE"; false and a message naming the argument when malformed.
bool ParseDataBinding(const QString& argument, TDataBinding& binding, QString& error);

// Rewrites the data set entries of a report form's component tree: every
// data set entry of the name (names are not case-sensitive) gets the source
// and is left closed, to be opened once the form is read. A name the form
// neither holds nor refers to raises EKVXError listing the data sets it has;
// so does an SQL source without a query for a form data set that has none,
// and a CSV source for a detail (a CSV file cannot follow its master).
void ApplyDataBindings(FormComponent& tree, const QList<TDataBinding>& bindings);

} // namespace vorel::cli
