#pragma once
// Report parameters given from outside by name: the command line's
// --param NAME=VALUE and vorel::Report::setParameter. A value takes effect
// as the parameter dialog would write it back (frame/parameter_dialog.h),
// so a text is converted exactly as if typed into the parameter's editor.
//
// Messages start with a prefix the caller chooses ("--param Region" for
// the tool, "parameter Region" for the application's class): every
// function taking `prefixFormat` puts the name as given for its "%1".

#include "foundation/records/records.h"

#include <QString>
#include <QVariant>

namespace vorel {

// The parameter by exact name first, then by display label (a label may
// repeat another parameter's name); -1 when none answers. A label that two
// parameters share names neither: EKVXError ("PREFIX: the parameters A and
// B both show NAME; name one of them").
int FindParameterByName(const TKVXParameters& parameters, const QString& name, const QString& prefixFormat);

// Sets the parameter from text as its editor would take it: edit and memo
// the text as it stands, a check box true, 1, yes, on or false, 0, no, off
// (any case), a combo or list box one of its items (or an item's index).
// Raises EKVXError for an unknown name (listing the parameters) or a text
// the editor does not take (listing what it does).
void SetParameterText(TKVXParameters& parameters, const QString& name, const QString& text,
                      const QString& prefixFormat);

// The same for a value from an application. Texts (QString, QByteArray)
// take the way of SetParameterText. Otherwise a value of a type the editor
// writes is assigned directly when it converts: a check box takes a bool;
// an edit or memo takes numbers, Booleans, dates and times as they are (an
// edit typed into would give text); a combo or list box takes the value's
// text as one of its items; a null QVariant leaves a combo or list box with
// nothing selected (the value Null). Anything else raises EKVXError.
void SetParameterValue(TKVXParameters& parameters, const QString& name, const QVariant& value,
                       const QString& prefixFormat);

// The parameters' names, in order.
QStringList ParameterNames(const TKVXParameters& parameters);

} // namespace vorel
