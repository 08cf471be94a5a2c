// vorel: renders reports headless. For now it answers --version and help;
// the render, convert, info and formats commands arrive with the engine.

#include "auto/library.h"
#include "foundation/version.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const char* const kUsage =
    "Usage: vorel <command> [options]\n"
    "\n"
    "Commands:\n"
    "  --version, version   print the version and exit\n"
    "  help, --help, -h     print this help and exit\n"
    "\n"
    "Exit codes: 0 success, 1 bad input, 2 usage error.\n";

int Usage(QTextStream& out, int rc)
{
    out << kUsage;
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return Usage(err, 2);
    const QString command = args.first();
    if (command == QLatin1String("--version") || command == QLatin1String("version")) {
        out << "vorel " << VOREL_VERSION_STRING << "\n";
        return 0;
    }
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h"))
        return Usage(out, 0);
    err << "vorel: unknown command \"" << command << "\"\n";
    return Usage(err, 2);
}
