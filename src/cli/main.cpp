// vorel: the command-line tool. One function per command (cli/commands.h);
// this file only dispatches.

#include "auto/library.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/terminal_output.h"
#include "foundation/version.h"

#include <QApplication>
#include <QGuiApplication>
#include <memory>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <QTextStream>

namespace {

using namespace vorel::cli;

int RunVersion(const QStringList&, Streams io)
{
    io.Out << "vorel " << VOREL_VERSION_STRING << "\n";
    return kExitOk;
}

int PrintUsage(QTextStream& out, int rc);

int RunHelp(const QStringList&, Streams io)
{
    return PrintUsage(io.Out, kExitOk);
}

struct Command {
    const char* Names[3]; // the command word and its aliases
    int (*Run)(const QStringList& args, Streams io);
    // Commands that open windows or dialogs (print, preview, design) need a
    // widget application; the headless ones keep the lighter one.
    bool Widgets = false;
};

const Command kCommands[] = {
    {{"--version", "version", nullptr}, RunVersion},
    {{"help", "--help", "-h"}, RunHelp},
    {{"render", nullptr, nullptr}, RunRender},
    {{"info", nullptr, nullptr}, RunInfo},
    {{"formats", nullptr, nullptr}, RunFormats},
    {{"convert", nullptr, nullptr}, RunConvert},
    {{"reference", nullptr, nullptr}, RunReference},
    {{"preview", nullptr, nullptr}, RunPreview, true},
    {{"design", nullptr, nullptr}, RunDesign, true},
    {{"wizard", nullptr, nullptr}, RunWizard},
    {{"print", nullptr, nullptr}, RunPrint, true},
    {{"printers", nullptr, nullptr}, RunPrinters},
    {{"table", nullptr, nullptr}, RunTable},
    {{"text", nullptr, nullptr}, RunText},
    {{"join", nullptr, nullptr}, RunJoin},
};

int PrintUsage(QTextStream& out, int rc)
{
    out << "Usage: vorel <command> [options]\n"
           "\n"
           "Commands:\n"
           "  --version, version   print the version and exit\n"
           "  help, --help, -h     print this help and exit\n"
        << kRenderUsage << kInfoUsage << kFormatsUsage << kConvertUsage << kReferenceUsage << kPreviewUsage << kDesignUsage << kWizardUsage << kPrintUsage
        << kPrintersUsage
        << kTableUsage << kTextUsage << kJoinUsage
        << "\n"
           "Exit codes: 0 success, 1 bad input, 2 usage error, 130 cancelled (Ctrl-C).\n";
    return rc;
}

const Command* FindCommand(const QString& word)
{
    for (const Command& command : kCommands)
        for (const char* name : command.Names)
            if (name && word == QLatin1String(name))
                return &command;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread exists, so that every thread inherits it: render
    // and print take Ctrl-C in a watcher thread of their own.
    vorel::cli::BlockInterruptSignals();

    // Qt wants a private runtime folder and warns on every start without
    // one (in containers and CI); the tool makes it quietly as Qt would.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = "/tmp/runtime-" + QByteArray::number(uint(getuid()));
        if (mkdir(runtime.constData(), 0700) == 0 || errno == EEXIST)
            qputenv("XDG_RUNTIME_DIR", runtime);
    }
    const Command* command = argc > 1 ? FindCommand(QString::fromLocal8Bit(argv[1])) : nullptr;
    // A headless tool: fonts and images work without a display. A command
    // that opens a window uses the display when there is one, unless it
    // only writes a picture of its window (--snapshot).
    bool onScreen = command && command->Widgets
        && (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
    for (int i = 2; i < argc && onScreen; ++i)
        if (qstrncmp(argv[i], "--snapshot", 10) == 0)
            onScreen = false;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !onScreen)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tool's own arguments as given: Qt takes options such as
    // "--style" out of argv for itself, and `vorel wizard` has a --style.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QGuiApplication> application;
    // vorel wizard paints its dialog only for --snapshot (offscreen).
    bool widgets = command && command->Widgets;
    for (int i = 2; i < argc && command && command->Run == RunWizard; ++i)
        widgets = widgets || qstrncmp(argv[i], "--snapshot", 10) == 0;
    // The wizard's --style is its own, not Qt's widget style: Qt sees none
    // of its arguments. (Qt keeps a reference to the count.)
    static int qtArgc = argc;
    if (command && command->Run == RunWizard)
        qtArgc = 1;
    if (widgets)
        application = std::make_unique<QApplication>(qtArgc, argv);
    else
        application = std::make_unique<QGuiApplication>(qtArgc, argv);
    vorel::InitializeLibrary();
    struct Finalize {
        ~Finalize() { vorel::FinalizeLibrary(); }
    } finalize;
    vorel::cli::InstallEscapingMessageHandler();
    vorel::cli::TEscapingOutput standardOutput(STDOUT_FILENO);
    vorel::cli::TEscapingOutput standardError(STDERR_FILENO);
    QTextStream out(&standardOutput);
    QTextStream err(&standardError);
    const QStringList& args = given;
    if (args.isEmpty())
        return PrintUsage(err, kExitUsage);
    if (!command) {
        err << "vorel: unknown command \"" << args.first() << "\"\n";
        return PrintUsage(err, kExitUsage);
    }
    // The commands that write files take Ctrl-C in their watcher thread.
    const bool watches = command->Run == RunRender || command->Run == RunPrint || command->Run == RunTable || command->Run == RunText
                         || command->Run == RunJoin;
    if (!watches)
        vorel::cli::UnblockInterruptSignals();
    int rc = command->Run(args.mid(1), Streams{out, err});
    // What was printed on standard output is the result of info, formats and
    // reference: a redirection onto a full disk is a failure, not success.
    out.flush();
    if (const QString failure = standardOutput.Failure(); !failure.isEmpty() && rc == kExitOk) {
        err << "vorel: cannot write standard output: " << failure << "\n";
        rc = kExitBadInput;
    }
    return rc;
}
