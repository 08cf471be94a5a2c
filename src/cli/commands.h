#pragma once
// The commands of the vorel tool. Each command is one function taking its
// own arguments (after the command word) and the output streams, and
// returning the exit code: 0 success, 1 bad input (the message names the
// file and, for broken content, the byte offset), 2 usage error.

#include <QStringList>
#include <QTextStream>

namespace vorel::cli {

enum ExitCode { kExitOk = 0, kExitBadInput = 1, kExitUsage = 2 };

struct Streams {
    QTextStream& Out;
    QTextStream& Err;
};

// vorel convert IN OUT [--text|--binary]
int RunConvert(const QStringList& args, Streams io);
extern const char* const kConvertUsage;

// vorel render FORM.kvx|PREPARED.zpg -o OUT [options]
int RunRender(const QStringList& args, Streams io);
extern const char* const kRenderUsage;

// vorel info FORM.kvx
int RunInfo(const QStringList& args, Streams io);
extern const char* const kInfoUsage;

// vorel formats
int RunFormats(const QStringList& args, Streams io);
extern const char* const kFormatsUsage;

// vorel reference
int RunReference(const QStringList& args, Streams io);
extern const char* const kReferenceUsage;

// vorel preview FORM.kvx|PREPARED.zpg [options]: the preview window, or a
// picture of it (--snapshot)
int RunPreview(const QStringList& args, Streams io);
extern const char* const kPreviewUsage;

// vorel design [FORM.kvx] [--snapshot OUT.png]
int RunDesign(const QStringList& args, Streams io);
extern const char* const kDesignUsage;

// vorel print FORM.kvx|PREPARED.zpg [--printer NAME] [--pages LIST] [--copies N] [--collate] ...
int RunPrint(const QStringList& args, Streams io);
extern const char* const kPrintUsage;

// vorel printers
int RunPrinters(const QStringList& args, Streams io);
extern const char* const kPrintersUsage;

// vorel table SOURCE -o OUT, vorel text FILE -o OUT, vorel join A.kvx B.kvx -o OUT
int RunTable(const QStringList& args, Streams io);
extern const char* const kTableUsage;
int RunText(const QStringList& args, Streams io);
extern const char* const kTextUsage;
int RunJoin(const QStringList& args, Streams io);
extern const char* const kJoinUsage;

// vorel wizard --type T --style S --data NAME=SOURCE --fields A,B -o FORM.kvx [...]
int RunWizard(const QStringList& args, Streams io);
extern const char* const kWizardUsage;

} // namespace vorel::cli
