#pragma once
// Report form files (".kvx"): the stored design of a TKVReport.
//
// The binary file, in order (all integers little-endian):
//   4 bytes   L, signed 32-bit: the number of characters of the header banner
//   L bytes   the first L bytes of the banner in UTF-16LE (readers skip them)
//   rest      the component resource: 0xFF, type 10 (RCDATA) as 16 bits, the
//             name "TKVREPORT" and a zero byte, flags 0x1030 as 16 bits, the
//             32-bit size of the data, then the binary component stream
//             ("TPF0" ...), see docs/FORM_FILES.md
// The readable text form ("object Report1: TKVReport" ... "end") is stored
// as it is, without header, so that forms can live in version control.
// Loading recognises both; after the header any form the stream core reads
// (binary or text, with or without the resource header) is accepted.
//
// The report's own operations (SaveReport, LoadReport ...) are members of
// TKVReport; this header holds their options and what works on files
// without objects (conversion between the two forms).

#include "foundation/forms/form_objects.h"

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <vector>

class QIODevice;

namespace vorel {

class TKVXEventHandlers;

// Three words joined by single spaces; readers skip it.
inline constexpr char16_t kReportFormBanner[] = u"Vorel Report Form";
// The extension of report form files.
inline constexpr char16_t kReportFormExtension[] = u"kvx";

enum class TReportFormFormat { Binary, Text };

struct TReportLoadOptions {
    // References (the report's DataSet and DataManager, a band's Dataset ...)
    // that neither the form nor the application's components answer: false
    // raises EStreamError naming each property and name once everything
    // else is read (what was read stays); true leaves those properties as
    // they were and lists them in the result.
    bool AllowUnresolvedReferences = false;
    // The table event handler names are bound from; nullptr: ReportEventHandlers().
    const TKVXEventHandlers* EventHandlers = nullptr;
    // A last change to the form's component tree before it is read into the
    // report (the command-line tool binds data sets given on its command
    // line this way, so that the form's own never open).
    std::function<void(FormComponent& tree)> EditForm;
    // The application's answer to a reference the form itself does not
    // answer (a band's Dataset naming a data set the application supplies),
    // asked before the application's components (Application()); nullptr
    // when it does not know the name. The object must be of the property's
    // class, else the reference counts as unresolved.
    std::function<QObject*(const QString& name)> ResolveReference;
};

struct TReportLoadResult {
    // Only with AllowUnresolvedReferences.
    std::vector<FormUnresolvedReference> Unresolved;
    // Report events the form names without a matching handler in the table
    // ("Report1.OnBeginDoc = PrintCover (no such handler)"); those events
    // keep what they had.
    QStringList UnboundEvents;
    // Both of the above as readable lines ("Report1.DataSet: no component named Orders").
    QStringList Warnings() const;
};

// --- the file around the component stream (no objects involved) ------------------------------

// The header and the component resource around the binary stream of the
// tree, or the text form of the tree.
QByteArray WriteReportForm(const FormComponent& tree, TReportFormFormat format);
// Text when the bytes begin with the text form ("object", "inherited" or
// "inline" after an optional byte order mark and blanks), else Binary.
TReportFormFormat DetectReportFormFormat(QByteArrayView bytes);
// Reads a form file's component tree. Malformed input raises EStreamError
// with the byte offset counted from the start of the file; `tree` then holds
// what was read before the fault (nothing when the header itself is broken).
void ReadReportForm(QByteArrayView bytes, FormComponent& tree);

// What a file given as a report holds, judged by its content rather than its
// extension: a report form (binary "TPF0", with or without the header, or
// the text form) or a saved prepared report (a counted signature starting
// "KVXP"). A form saved as .zpg, or a prepared report named .kvx, is then
// read as what it is.
enum class TReportFileKind { Form, Prepared, Unknown };
// From the first bytes (64 are enough); Unknown when they match neither.
TReportFileKind DetectReportFileKind(QByteArrayView head);
// Unknown for a file that cannot be read, is no regular file (a pipe is not
// read twice) or matches neither.
TReportFileKind SniffReportFile(const QString& fileName);
// The kind the file is read as: what its content says, else what its
// extension says (.zpg: a prepared report), so that the reader of that kind
// reports what is wrong with it.
TReportFileKind ReportFileKind(const QString& fileName);

// "Error reading Report1.DataSet: no component named Orders" for each reference.
QStringList DescribeUnresolved(const std::vector<FormUnresolvedReference>& unresolved);

} // namespace vorel
