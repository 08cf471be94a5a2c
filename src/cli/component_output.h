#pragma once
// Writing a print component's pages to a file for the commands that build
// their report in code (vorel table, text, join): the output format and
// filter options as render takes them (frame/output_format.h), the staged
// output (frame/output_staging.h), progress on the terminal and Ctrl-C.

#include "cli/commands.h"
#include "frame/output_format.h"

#include <functional>

namespace vorel {
class TKVPrintBaseComponent;
}

namespace vorel::cli {

struct TComponentOutput {
    QString Command;              // "table": the prefix of every message
    QString Input;                // what the report is made from, for messages
    QStringList InputFiles;       // files the output must not overwrite
    QString Output;
    QString Format;               // empty: from the output's extension
    TExportOptionList ExportOptions;
    bool Quiet = false;
};

// Checks the format and options, stages the output, calls `build` (which
// sets the component up and may raise EKVXError for bad input), prepares
// the component and writes every page. Returns the exit code; messages go
// to io.Err prefixed with "vorel COMMAND: ".
int WriteComponent(const TComponentOutput& run, TKVPrintBaseComponent& component,
                   const std::function<void()>& build, Streams io);

// The common options of those commands: -o/--output, --format, --option
// NAME=VALUE, --quiet/-q. Returns false when `args[i]` is none of them;
// raises UsageError for a malformed one. Advances i past what it took.
bool TakeOutputOption(const QStringList& args, qsizetype& i, TComponentOutput& run);
// The value of an option at args[i] ("--name value" or "--name=value");
// advances i. Raises UsageError when the value is missing or empty.
QString TakeValue(const QStringList& args, qsizetype& i, const QString& name);

} // namespace vorel::cli
