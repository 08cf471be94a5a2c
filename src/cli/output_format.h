#pragma once
// Which writer an output gets: a registered export filter or the prepared
// report (.zpg), named by --format or by the output file's extension. The
// lookup and the option checks are the library's (frame/output_format.h);
// this adds the tool's messages.

#include "frame/output_format.h"

namespace vorel::cli {

// `name` matches a filter's extension ("pdf", ".PDF"), its class name or its
// English format name, or "zpg"/"prepared"; without a name the output's
// extension decides. Raises EKVXError naming what did not match and listing
// the formats.
TOutputFormat ChooseOutputFormat(const QString& name, const QString& outputFile);

// The options render gives the format's filter: render's own defaults
// (PDF: Compression=seFlate) unless the command line names them, then the
// command line's, in its order. Each is tried on a fresh filter, so what
// the filter would refuse is a UsageError before any work: a name it lacks
// (naming the format and listing its options) or a value it does not take
// (naming the option, the value and what is allowed). A prepared report
// takes no options.
TExportOptionList RenderExportOptions(const TOutputFormat& format, const TExportOptionList& given);

} // namespace vorel::cli
