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
// The library starts itself on first use (InitializeLibrary); a
// QGuiApplication must exist (fonts are measured; the "offscreen" platform
// serves a program without a display). The classic report component stays
// reachable through component() for everything this class does not cover.
// Work runs in the calling thread; cancel() may be called from any thread
// or from a slot connected to progress(). docs/EMBEDDING.md is the guide.

#include "foundation/values/errors.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

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
    // recognised by its content. Every load starts from a fresh report
    // component. Data sources, data sets and databases bound before are
    // applied while the form is read (the form's own sources are then never
    // opened), and the data sets the report reads are opened. False on
    // failure, with errorString() and errorPlace() set; nothing is loaded
    // then.
    bool load(const QString& path);
    // The same from a device open for reading (read to its end); relative
    // data paths of the form are taken from the working directory.
    bool load(QIODevice* device);
    // Whether a form or a prepared report is loaded.
    bool isLoaded() const;
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

    // --- data (each takes effect at the next load()) -------------------------
    // Binds the data set NAME the form holds or refers to to another source,
    // written as on the command line: "csv:PATH", "sqlite:PATH[?sql=...]",
    // "postgresql://USER@HOST/DB[?sql=...]"; relative paths from the working
    // directory. A malformed source fails at once (false, errorString()); an
    // empty one removes the binding.
    bool setDataSource(const QString& name, const QString& source);
    // Answers the form's references to NAME with the application's own data
    // set (not owned; it must outlive the report's use of it): a data set
    // NAME the form holds is left out, the report's DataSet, a band's
    // Dataset or a detail's Master naming NAME get the application's object.
    // nullptr removes the binding.
    void setDataSet(const QString& name, TDataSet* dataSet);
    // The SQL data set NAME (held by the form) runs its query on the
    // application's own connection instead of its connection string. The
    // connection is opened when closed and never closed or removed by the
    // report; keep it until the report is gone, and use the report in the
    // connection's thread. False for an invalid QSqlDatabase.
    bool setDatabase(const QString& name, const QSqlDatabase& database);

    // --- parameters (of the loaded form) -------------------------------------
    QStringList parameterNames() const;
    // A parameter by name (or display label), converted as the parameter
    // dialog would convert the text; a bool, number, date or time is
    // assigned as it is where the parameter's editor takes it. False and
    // errorString() for an unknown name or a value the parameter does not
    // take.
    bool setParameter(const QString& name, const QVariant& value);

    // --- work ----------------------------------------------------------------
    // Generates the pages of a loaded form (twice when two-pass, so page
    // counts are known on every page).
    Result prepare();
    // Overrides the form's TwoPass setting for every later prepare().
    void setTwoPass(bool twoPass);
    // Bytes of prepared pages kept in memory (default 32 MB); beyond it the
    // pages wait in a nameless scratch file and are read back when shown,
    // printed, saved or exported, so a report of any length runs in
    // bounded memory. 0: no limit. Takes effect at once and for every
    // later load().
    void setMemoryLimit(qint64 bytes);
    // The folder of that scratch file (empty: $TMPDIR or /tmp), for every
    // later load() or prepare().
    void setTemporaryFolder(const QString& folder);
    // Pages of the prepared report (after prepare() or loading a prepared
    // report; a page of several bars counts once), 0 when none.
    int pageCount() const;
    // Writes the pages (1-based numbers; empty: all) in the format named by
    // `format` (an extension such as "pdf", a class name or a format name;
    // empty: the file's extension; "zpg": as savePrepared()). Options are the
    // filter's published properties by name, values as text or as QVariant
    // ("Compression" -> "seFlate", "EmbedFonts" -> false); a PDF is
    // Flate-compressed unless Compression is given. Prepares first when
    // nothing is prepared yet. The file appears only when it is complete.
    Result exportTo(const QString& path, const QString& format = {}, const QList<int>& pages = {},
                    const QVariantMap& options = {});
    // Saves the pages as a prepared report (".zpg"); prepares first when
    // nothing is prepared yet.
    Result savePrepared(const QString& path, const QList<int>& pages = {});
    // Ends the running prepare(), exportTo() or savePrepared() at the next
    // record or page; the call returns Cancelled and writes nothing. A cancel
    // while nothing runs is ignored. Thread-safe.
    void cancel();

    // The names `exportTo` accepts, one per registered format: its extension
    // ("zpg" first, then "txt", "csv", ... "pdf", ...).
    static QStringList formats();

    // The classic report component underneath: nullptr before the first
    // successful load(); replaced by every load().
    TKVReport* component() const;

Q_SIGNALS:
    // During prepare(): pages generated so far (total 0 while unknown; known
    // in the second pass of a two-pass preparation); during an export: pages
    // written of total.
    void progress(int done, int total);
    // At the end of every prepare(), exportTo() and savePrepared().
    void finished(vorel::Report::Result result);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace vorel
