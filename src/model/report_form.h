#pragma once
// How a report goes through the form streaming core: the report lists its
// bands as its children in Bands order (then any other component it owns,
// such as its data sets), a band lists its controls in Objects order.
// Reading a report replaces its bands; bands keep the form's order (they
// are not re-sorted by rank), each control joins its band's Objects.
//
// These are the component stream only; the ".kvx" file wrapper (length,
// banner, resource header) is built on them.

#include "foundation/forms/form_objects.h"

#include <QByteArray>
#include <exception>

namespace vorel {

class TKVReport;

FormWriteOptions ReportFormWriteOptions();
// Options for one reading (they remember which reports they have cleared):
// the first band read into a report deletes the bands the report had;
// references the form cannot resolve are looked for among the
// application's components.
FormReadOptions ReportFormReadOptions();

// Reads a form tree into the report, as a form file is read: the report's
// bands are deleted first, the loading flag is set while reading (and
// restored in any case), the report keeps its own name, bands keep the
// form's order; components the report owns besides its bands are replaced
// by the form's components of the same name. A tree from a reader that
// failed (`parseError`) is read as far as it is complete, then that error
// is raised. A root entry of a registered class unrelated to the report is
// refused. `resolve`, when given, answers references the form does not,
// before the application's components are asked.
FormReadResult ReadReportTree(TKVReport* report, const FormComponent& tree,
                              const std::exception_ptr& parseError = nullptr,
                              const std::function<QObject*(const QString& name)>& resolve = {});

// The report's component stream: binary ("TPF0" ...) or the readable text form.
QByteArray SaveReportComponent(TKVReport* report, bool text = false);
// Reads a component stream (either form, with or without the resource
// header) into the report: deletes all its bands first, keeps the report's
// own name (the loading flag is set while reading and cleared in any case).
// Errors propagate; bands read before an error stay.
FormReadResult LoadReportComponent(TKVReport* report, QByteArrayView bytes);

} // namespace vorel
