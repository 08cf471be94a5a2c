#pragma once
// The application's entry to Vorel: load a report form, bind its data and
// parameters, prepare it and write it in any registered format, in a few
// calls and without knowing the classic components underneath:
//
//     vorel::Report report;
//     report.setDataSource("Orders", "sqlite:shop.db");
//     if (!report.load("orders.kvx") || report.prepare() != vorel::Report::Ok ||
//         report.exportTo("orders.pdf") != vorel::Report::Ok)
//         qWarning() << report.errorString();
//
// The library starts itself on first use (InitializeLibrary). The classic
// report component stays reachable through component() for everything this
// class does not cover. Work runs in the calling thread; cancel() may be
// called from any thread or from a slot connected to progress().

#include "foundation/values/errors.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QIODevice;

namespace vorel {

class TDataSet;
class TKVReport;

// The place of the last error, as data (see TErrorPlace).
using ErrorPlace = TErrorPlace;

class Report : public QObject {
    Q_OBJECT

public:
    enum Result {
        Ok,        // done
        Failed,    // see errorString() and errorPlace(); nothing was written
        Cancelled  // cancel() was called; nothing was written
    };
    Q_ENUM(Result)

    explicit Report(QObject* parent = nullptr);
    ~Report() override;

    // --- loading -------------------------------------------------------------
    // A report form (binary or text ".kvx") or a prepared report (".zpg"),
    // recognised by its content. Data sources and data sets bound before are
    // applied while the form is read; the form's own sources are then never
    // opened. False on failure, with errorString() and errorPlace() set.
    bool load(const QString& path);
    // The same from a device open for reading; relative data paths of the
    // form are taken from the working directory.
    bool load(QIODevice* device);
    // Whether what was loaded is a prepared report (pages only: no data,
    // no parameters, no prepare()).
    bool isPrepared() const;

    // The message of the last failure ("" after a success) and its place.
    QString errorString() const;
    ErrorPlace errorPlace() const;
    // Readable lines the last load() and prepare() left: references the form
    // names but nothing answers, events without a handler, values that could
    // not be computed for some records.
    QStringList warnings() const;

    // --- data ----------------------------------------------------------------
    // Binds the data set NAME the form holds or refers to to another source,
    // written as on the command line: "csv:PATH", "sqlite:PATH[?sql=...]",
    // "postgresql://USER@HOST/DB[?sql=...]". Takes effect at the next load();
    // a malformed source fails at once (false, errorString()).
    bool setDataSource(const QString& name, const QString& source);
    // Answers the form's references to NAME with the application's own data
    // set (not owned; it must outlive the report's use of it).
    void setDataSet(const QString& name, TDataSet* dataSet);
    // The SQL data set NAME (held by the form) runs its query on the
    // application's own connection instead of its connection string.
    bool setDatabase(const QString& name, const QSqlDatabase& database);

    // --- parameters ----------------------------------------------------------
    QStringList parameterNames() const;
    // A parameter by name (or display label), converted as the parameter
    // dialog would convert the text; false and errorString() for an unknown
    // name or a value the parameter does not take.
    bool setParameter(const QString& name, const QVariant& value);

    // --- work ----------------------------------------------------------------
    // Generates the pages of a loaded form (twice when twoPass, so page
    // counts are known on every page).
    Result prepare();
    void setTwoPass(bool twoPass);
    // Pages of the prepared report (after prepare() or loading a prepared
    // report).
    int pageCount() const;
    // Writes the pages (1-based numbers; empty: all) in the format named by
    // `format` (an extension such as "pdf", a class name or a format name;
    // empty: the file's extension). Options are the filter's published
    // properties by name, values as text or as QVariant ("Compression" ->
    // "seFlate", "EmbedFonts" -> false). Prepares first when nothing is
    // prepared yet.
    Result exportTo(const QString& path, const QString& format = {}, const QList<int>& pages = {},
                    const QVariantMap& options = {});
    // Saves the pages as a prepared report (".zpg").
    Result savePrepared(const QString& path, const QList<int>& pages = {});
    // Ends the running prepare() or export at the next page; the call
    // returns Cancelled and writes nothing. Thread-safe.
    void cancel();

    // The names `exportTo` accepts, one per registered format: its extension.
    static QStringList formats();

    // The classic report component underneath.
    TKVReport* component() const;

Q_SIGNALS:
    // During prepare(): pages generated so far (total 0 while unknown);
    // during an export: pages written of total.
    void progress(int done, int total);
    // At the end of every prepare(), exportTo() and savePrepared().
    void finished(vorel::Report::Result result);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace vorel
