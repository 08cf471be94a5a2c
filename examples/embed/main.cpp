// embed: renders a report form to PDF from a Qt console application.
//
//     embed FORM.kvx DATABASE.db OUT.pdf [DATASET]
//
// Opens the SQLite database as the application's own connection, loads the
// form, runs the form's data set DATASET (default "Orders", the one of
// examples/orders.kvx) on that connection and writes every page as PDF.

#include <vorel/report.h>

#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Fonts and painting need a QGuiApplication; without a display it runs
    // on Qt's offscreen platform.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 4 && args.size() != 5) {
        err << "usage: embed FORM.kvx DATABASE.db OUT.pdf [DATASET]\n";
        return 2;
    }
    const QString dataSet = args.value(4, QStringLiteral("Orders"));

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("embed"));
    db.setDatabaseName(args[2]);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        err << "embed: " << args[2] << ": " << db.lastError().text() << "\n";
        return 1;
    }

    vorel::Report report;
    if (!report.load(args[1]) || !report.setDatabase(dataSet, db) || report.prepare() != vorel::Report::Ok ||
        report.exportTo(args[3], QStringLiteral("pdf")) != vorel::Report::Ok) {
        err << "embed: " << report.errorString() << "\n";
        return 1;
    }
    for (const QString& warning : report.warnings())
        err << "embed: warning: " << warning << "\n";
    out << args[3] << ": " << report.pageCount() << " page(s)\n";
    return 0;
}
