// vorel::Report: the classic report component behind a small Qt-style
// class. Every step is the library's own (data bindings, parameters by
// name, output formats and options, staged outputs, cancel requests); this
// file puts them in order and turns exceptions into results.

#include "vorel/report.h"

#include "auto/library.h"
#include "data/data_binding.h"
#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "export/export_base.h"
#include "frame/output_format.h"
#include "frame/output_staging.h"
#include "frame/parameter_values.h"
#include "model/report.h"
#include "model/report_data.h"
#include "model/report_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QMetaType>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>

namespace vorel {

namespace {

// How each kind of binding names itself in messages.
const QString kSourcePrefix = QStringLiteral("data source %1");
const QString kDataSetPrefix = QStringLiteral("data set %1");
const QString kDatabasePrefix = QStringLiteral("database %1");
const QString kParameterPrefix = QStringLiteral("parameter %1");

// A failure of the facade itself (not of the library underneath).
[[noreturn]] void Fail(const QString& message)
{
    throw EKVXError(message);
}

// An option's value as the filter reads it from text.
QString OptionText(const QString& name, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return value.toString();
    case QMetaType::Float:
    case QMetaType::Double: return QString::number(value.toDouble(), 'g', 17);
    default:
        Fail(QStringLiteral("option %1: a %2 value is no option value (give text, a number or a bool)")
                 .arg(name, value.isValid() ? QString::fromLatin1(value.metaType().name()) : QStringLiteral("null")));
    }
}

// Restores a std::function member (an event of the component) when the
// scope ends.
template <class F>
class TEventScope {
public:
    TEventScope(F& event, F replacement) : FEvent(event), FSaved(event) { FEvent = std::move(replacement); }
    ~TEventScope() { FEvent = std::move(FSaved); }
    TEventScope(const TEventScope&) = delete;
    TEventScope& operator=(const TEventScope&) = delete;
    const F& Saved() const { return FSaved; }

private:
    F& FEvent;
    F FSaved;
};

} // namespace

class Report::Private {
public:
    explicit Private(Report* q) : q(q) {}

    Report* q;

    // --- bindings, by name as given (matched without regard to case) ---
    QList<TDataBinding> Sources;
    QList<QPair<QString, QPointer<TDataSet>>> DataSets;
    QList<QPair<QString, QString>> Databases; // data set name, QtSql connection name
    std::optional<bool> TwoPass;
    TPageStoreSettings Store = DefaultPageStoreSettings();

    // --- what is loaded ---
    // The manager naming the application's data sets for expressions, when
    // the form has none of its own; outlives the report, which refers to it.
    std::unique_ptr<TKVXDataManager> AppManager;
    std::unique_ptr<TKVReport> Component;
    bool PreparedKind = false;
    QString FormFile; // the loaded file; empty for a device or a prepared report

    // --- the last result ---
    QString Error;
    ErrorPlace Place;
    QStringList LoadWarnings;
    QStringList EvaluationWarnings;

    // --- the running operation ---
    bool Busy = false;
    std::mutex RunningLock;          // guards Running against cancel()
    TKVReport* Running = nullptr;    // the component an operation works on

    static int IndexOf(const auto& list, const QString& name)
    {
        for (int i = 0; i < list.size(); ++i)
            if (list[i].first.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    TDataSet* ApplicationDataSet(const QString& name) const
    {
        for (const auto& [bound, dataSet] : DataSets)
            if (bound.compare(name, Qt::CaseInsensitive) == 0)
                return dataSet.data();
        return nullptr;
    }

    // The prefix of an opening error of a data set bound from here.
    QString PrefixOf(const TDataSet& dataSet) const
    {
        for (const TDataBinding& binding : Sources)
            if (binding.Name.compare(dataSet.Name(), Qt::CaseInsensitive) == 0)
                return kSourcePrefix.arg(binding.Name);
        for (const auto& [name, connection] : Databases)
            if (name.compare(dataSet.Name(), Qt::CaseInsensitive) == 0)
                return kDatabasePrefix.arg(name);
        for (const auto& [name, bound] : DataSets)
            if (bound.data() == &dataSet)
                return kDataSetPrefix.arg(name);
        return {};
    }

    void ClearError()
    {
        Error.clear();
        Place = ErrorPlace();
    }
    void SetError(const QString& message, const ErrorPlace& place = {})
    {
        Error = message;
        Place = place;
    }

    void Unload()
    {
        Component.reset();
        AppManager.reset();
        PreparedKind = false;
        FormFile.clear();
        LoadWarnings.clear();
        EvaluationWarnings.clear();
    }

    bool Load(const QString* path, QIODevice* device);
    void LoadForm(TKVReport& report, const QString* path, const QByteArray& bytes);
    void NameApplicationDataSets(TKVReport& report);

    // Runs one operation: errors become Failed, a cancel request during it
    // reaches the component, `work` tells Ok or Cancelled.
    template <class Work>
    Result Run(Work&& work);
    bool CancelRequested() const { return Component && Component->CancelPending(false); }

    Result DoPrepare();
    Result EnsurePrepared(bool dataRecords);
    QList<int> SelectPages(const QList<int>& pages) const;
    void CheckOutputIsNoInput(const QString& path) const;
    Result DoExport(const QString& path, const QString& formatName, const QList<int>& pages,
                    const QVariantMap& options);
    Result DoSavePrepared(const QString& path, const QList<int>& pages);
    // Writes through a staged file renamed into place once complete.
    Result WriteStaged(const QString& path, const std::function<void(const QString& staged)>& write);
};

// --- loading ------------------------------------------------------------------------------------

void Report::Private::NameApplicationDataSets(TKVReport& report)
{
    // A form with its own data manager names its data sets itself (its
    // items referring to a bound name now hold the application's object).
    // Otherwise the expressions would find the application's data sets only
    // as the report's DataSet: a manager lists them under their bound names.
    if (DataSets.isEmpty() || report.DataManager())
        return;
    AppManager = std::make_unique<TKVXDataManager>();
    AppManager->FillDatasetList(&report, report.DataSet());
    TKVXDatasets* items = AppManager->Datasets();
    for (const auto& [name, dataSet] : DataSets) {
        if (!dataSet)
            continue;
        TKVXDataset* item = items->ItemByDataset(dataSet.data());
        if (!item) {
            item = items->Add();
            item->SetDataset(dataSet.data());
        }
        item->SetCaption(name);
    }
    report.SetDataManager(AppManager.get());
}

void Report::Private::LoadForm(TKVReport& report, const QString* path, const QByteArray& bytes)
{
    TReportLoadOptions options;
    // What nothing answers is a warning: the application may set it up
    // through component() before preparing.
    options.AllowUnresolvedReferences = true;
    QString formName;
    options.EditForm = [this, &formName](FormComponent& tree) {
        formName = tree.Name;
        ApplyDataBindings(tree, Sources, kSourcePrefix);
        for (const auto& [name, dataSet] : DataSets)
            if (dataSet)
                RemoveDataSetEntries(tree, name, kDataSetPrefix);
        for (const auto& [name, connection] : Databases)
            KeepDataSetClosed(tree, name, &TSqlDataSet::staticMetaObject, kDatabasePrefix);
    };
    options.ResolveReference = [this](const QString& name) -> QObject* { return ApplicationDataSet(name); };
    const TReportLoadResult result = path ? report.LoadReport(*path, options) : report.LoadReportFromBytes(bytes, options);
    // The component takes the form's name, so that messages name the report
    // as its author did.
    if (!formName.isEmpty()) {
        try {
            report.SetName(formName);
        } catch (const EKVXError&) {
            // A name the component refuses: it stays unnamed.
        }
    }
    LoadWarnings = DescribeUnresolved(result.Unresolved) + result.UnboundEvents;

    for (const auto& [name, connection] : Databases) {
        auto* sql = qobject_cast<TSqlDataSet*>(report.FindComponent(name));
        if (!sql)
            Fail(QStringLiteral("%1: the form holds no SQL data set named %2").arg(kDatabasePrefix.arg(name), name));
        const QSqlDatabase database = QSqlDatabase::database(connection, false);
        if (!database.isValid())
            Fail(QStringLiteral("%1: the database connection '%2' no longer exists").arg(kDatabasePrefix.arg(name), connection));
        sql->SetDatabase(database);
    }
    NameApplicationDataSets(report);
    OpenReportDataSets(report, [this](const TDataSet& dataSet) { return PrefixOf(dataSet); });
}

bool Report::Private::Load(const QString* path, QIODevice* device)
{
    ClearError();
    if (Busy) {
        SetError(QStringLiteral("the report is busy; load() cannot run inside its own work"));
        return false;
    }
    Unload();
    auto report = std::make_unique<TKVReport>();
    report->SetPageStoreSettings(Store);
    try {
        QByteArray bytes;
        TReportFileKind kind;
        if (path) {
            kind = ReportFileKind(*path);
        } else {
            if (!device || !device->isReadable())
                Fail(QStringLiteral("the device is not open for reading"));
            bytes = device->readAll();
            kind = DetectReportFileKind(bytes);
        }
        if (kind == TReportFileKind::Prepared) {
            if (path) {
                report->LoadPreparedReport(*path);
            } else {
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::ReadOnly);
                report->LoadPreparedReportFromStream(buffer);
            }
            PreparedKind = true;
        } else {
            LoadForm(*report, path, bytes);
            if (path)
                FormFile = *path;
        }
    } catch (const EKVXError& e) {
        SetError(e.Message(), e.Place());
        report.reset(); // before the manager it may refer to
        Unload();
        return false;
    } catch (const std::exception& e) {
        SetError(QString::fromLocal8Bit(e.what()));
        report.reset();
        Unload();
        return false;
    }
    Component = std::move(report);
    return true;
}

// --- running ------------------------------------------------------------------------------------

template <class Work>
Report::Result Report::Private::Run(Work&& work)
{
    ClearError();
    if (Busy) {
        SetError(QStringLiteral("the report is busy; its work cannot start again from inside itself"));
        return Failed;
    }
    if (!Component) {
        SetError(QStringLiteral("no report is loaded"));
        return Failed;
    }
    Busy = true;
    // One operation for the component: a cancel asked for while preparing
    // still holds for the export that follows.
    TCancelScope scope(*Component);
    {
        std::lock_guard<std::mutex> lock(RunningLock);
        Running = Component.get();
    }
    Result result = Failed;
    try {
        result = work();
    } catch (const EKVXError& e) {
        SetError(e.Message(), e.Place());
    } catch (const std::exception& e) {
        SetError(QString::fromLocal8Bit(e.what()));
    }
    {
        std::lock_guard<std::mutex> lock(RunningLock);
        Running = nullptr;
    }
    Busy = false;
    return result;
}

Report::Result Report::Private::DoPrepare()
{
    if (PreparedKind)
        Fail(QStringLiteral("a prepared report is loaded: its pages are made already"));
    TKVReport& report = *Component;
    EvaluationWarnings.clear();
    OpenReportDataSets(report, [this](const TDataSet& dataSet) { return PrefixOf(dataSet); });
    if (TwoPass)
        report.SetTwoPass(*TwoPass);
    // Pages generated so far, after the form's own handler.
    TEventScope<TPageEvent> pages(report.OnBeginPage, {});
    report.OnBeginPage = [this, &report, previous = pages.Saved()](QObject* sender, int page, int bar) {
        if (previous)
            previous(sender, page, bar);
        const bool known = report.TwoPass() && report.intCurPassNumber >= 2;
        const int total = known ? report.intNumPages * std::max(1, report.intNumBars) : 0;
        Q_EMIT q->progress(report.Pages().Count() - 1, total);
    };
    // Values that could not be computed for some records printed nothing
    // there: one line each, also when the generation then failed.
    struct TWarnings {
        TKVReport& Report;
        QStringList& Lines;
        ~TWarnings()
        {
            for (const TKVReport::TEvaluationWarning& warning : Report.EvaluationWarnings()) {
                const QString expression = warning.Expression.isEmpty()
                                               ? QString()
                                               : QStringLiteral(", expression \"%1\"").arg(warning.Expression);
                Lines << QStringLiteral("%1%2: %3 (first at record %4)")
                             .arg(warning.Where, expression, warning.Message)
                             .arg(warning.Record);
            }
        }
    } warnings{report, EvaluationWarnings};
    report.Prepare();
    if (CancelRequested())
        return Cancelled;
    const int count = report.Pages().Count();
    Q_EMIT q->progress(count, count);
    return Ok;
}

Report::Result Report::Private::EnsurePrepared(bool dataRecords)
{
    if (PreparedKind)
        return Ok;
    TKVReport& report = *Component;
    // A data export reads what a preparation records beside the pages.
    if (report.Prepared() && (!dataRecords || report.DataRecords()))
        return Ok;
    if (dataRecords)
        report.SetDataRecords(true);
    return DoPrepare();
}

QList<int> Report::Private::SelectPages(const QList<int>& wanted) const
{
    // A prepared report saved with a page list holds those pages only,
    // under their own numbers.
    QSet<int> present;
    for (int i = 0; i < Component->Pages().Count(); ++i)
        present.insert(Component->Pages().Items(i)->intNumPage + 1);
    if (present.isEmpty())
        Fail(QStringLiteral("the report has no pages; nothing written"));
    QList<int> pages = present.values();
    std::sort(pages.begin(), pages.end());
    if (wanted.isEmpty())
        return pages;
    QList<int> selected;
    for (int number : wanted) {
        if (!present.contains(number))
            Fail(QStringLiteral("the report has no page %1 (its pages: %2 to %3, %4 in all)")
                     .arg(number)
                     .arg(pages.first())
                     .arg(pages.last())
                     .arg(pages.size()));
        if (!selected.contains(number))
            selected.append(number);
    }
    std::sort(selected.begin(), selected.end());
    return selected;
}

void Report::Private::CheckOutputIsNoInput(const QString& path) const
{
    if (const QString why = OutputOverwritesInput(path, FormFile, ReportDataFiles(*Component)); !why.isEmpty())
        Fail(why);
}

Report::Result Report::Private::DoExport(const QString& path, const QString& formatName, const QList<int>& pages,
                                         const QVariantMap& options)
{
    const QString wanted = formatName.trimmed();
    const bool fromExtension = wanted.isEmpty() || wanted == u".";
    const std::optional<TOutputFormat> found =
        FindOutputFormat(fromExtension ? QFileInfo(path).suffix() : wanted, fromExtension);
    if (!found) {
        if (fromExtension)
            Fail(QStringLiteral("cannot tell the format of \"%1\" from its extension; name the format (one of %2)")
                     .arg(path, OutputFormatNames().join(u", ")));
        Fail(QStringLiteral("unknown format \"%1\" (one of %2)").arg(formatName, OutputFormatNames().join(u", ")));
    }
    const TOutputFormat format = *found;
    if (format.Prepared) {
        if (!options.isEmpty())
            Fail(QStringLiteral("option %1: a prepared report (zpg) has no options").arg(options.firstKey()));
        return DoSavePrepared(path, pages);
    }

    // Every option is tried on a filter of its own before any work is done.
    TExportOptionList given;
    {
        std::unique_ptr<QObject> created(format.ExportClass->newInstance(Q_ARG(QObject*, nullptr)));
        auto* trial = qobject_cast<TKVXExport*>(created.get());
        for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
            const QString text = OptionText(it.key(), it.value());
            try {
                CheckExportOption(format, trial, it.key(), text);
            } catch (const EKVXError& e) {
                Fail(QStringLiteral("option %1=%2: %3").arg(it.key(), text, e.Message()));
            }
            given.append({it.key(), text});
        }
    }
    const TExportOptionList exportOptions = WithDefaultExportOptions(format, given);

    if (const Result prepared = EnsurePrepared(ExportWantsDataRecords(format, exportOptions)); prepared != Ok)
        return prepared;
    if (CancelRequested())
        return Cancelled;
    const QList<int> selected = SelectPages(pages);
    CheckOutputIsNoInput(path);

    TKVReport& report = *Component;
    TEventScope<TExportFilterEvent> filterScope(report.OnExportFilter, {});
    report.OnExportFilter = [&exportOptions, previous = filterScope.Saved()](QObject* sender, TKVXExport& filter) {
        if (previous)
            previous(sender, filter);
        SetExportOptions(filter, exportOptions);
    };
    return WriteStaged(path, [&](const QString& staged) {
        report.ExportTo(staged, false, format.ExportClass, selected);
    });
}

Report::Result Report::Private::WriteStaged(const QString& path, const std::function<void(const QString&)>& write)
{
    TKVReport& report = *Component;
    TOutputStaging staging(path, false);
    TEventScope<TOutputProgressEvent> progressScope(report.OnOutputProgress, {});
    report.OnOutputProgress = [this, previous = progressScope.Saved()](QObject* sender, int done, int total) {
        if (previous)
            previous(sender, done, total);
        Q_EMIT q->progress(done, total);
    };
    try {
        write(staging.StagedFile());
        if (CancelRequested())
            return Cancelled; // the staging folder goes, and with it every file written
        staging.Publish({staging.FileName()});
    } catch (const EKVXError& e) {
        // The writers name the private folder; the caller named the target.
        ErrorPlace place = e.Place();
        place.File = staging.Translate(place.File);
        throw EKVXError(staging.Translate(e.Message()), place);
    }
    return Ok;
}

Report::Result Report::Private::DoSavePrepared(const QString& path, const QList<int>& pages)
{
    if (const Result prepared = EnsurePrepared(false); prepared != Ok)
        return prepared;
    if (CancelRequested())
        return Cancelled;
    const QList<int> selected = SelectPages(pages);
    CheckOutputIsNoInput(path);
    TKVReport& report = *Component;
    return WriteStaged(path, [&](const QString& staged) { report.SavePreparedPages(staged, false, selected); });
}

// --- Report -------------------------------------------------------------------------------------

Report::Report(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    InitializeLibrary();
}

Report::~Report()
{
    // The report refers to the application's manager: it goes first.
    d->Component.reset();
}

bool Report::load(const QString& path)
{
    return d->Load(&path, nullptr);
}

bool Report::load(QIODevice* device)
{
    return d->Load(nullptr, device);
}

bool Report::isLoaded() const
{
    return d->Component != nullptr;
}

bool Report::isPrepared() const
{
    return d->Component && d->PreparedKind;
}

QString Report::errorString() const
{
    return d->Error;
}

ErrorPlace Report::errorPlace() const
{
    return d->Place;
}

QStringList Report::warnings() const
{
    return d->LoadWarnings + d->EvaluationWarnings;
}

bool Report::setDataSource(const QString& name, const QString& source)
{
    d->ClearError();
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        d->SetError(QStringLiteral("a data source needs the name of the data set it binds"));
        return false;
    }
    qsizetype at = -1;
    for (qsizetype i = 0; i < d->Sources.size(); ++i)
        if (d->Sources[i].Name.compare(trimmed, Qt::CaseInsensitive) == 0)
            at = i;
    if (source.trimmed().isEmpty()) {
        if (at >= 0)
            d->Sources.removeAt(at);
        return true;
    }
    TDataBinding binding;
    QString error;
    if (!ParseDataSource(source, binding, error)) {
        d->SetError(QStringLiteral("%1: %2").arg(kSourcePrefix.arg(trimmed), error));
        return false;
    }
    binding.Name = trimmed;
    if (at >= 0)
        d->Sources[at] = binding;
    else
        d->Sources.append(binding);
    return true;
}

void Report::setDataSet(const QString& name, TDataSet* dataSet)
{
    const int at = Private::IndexOf(d->DataSets, name.trimmed());
    if (at >= 0)
        d->DataSets.removeAt(at);
    if (dataSet && !name.trimmed().isEmpty())
        d->DataSets.append({name.trimmed(), QPointer<TDataSet>(dataSet)});
}

bool Report::setDatabase(const QString& name, const QSqlDatabase& database)
{
    d->ClearError();
    if (!database.isValid()) {
        d->SetError(QStringLiteral("%1: the connection is not valid (is its QtSql driver installed?)")
                        .arg(kDatabasePrefix.arg(name.trimmed())));
        return false;
    }
    const int at = Private::IndexOf(d->Databases, name.trimmed());
    if (at >= 0)
        d->Databases.removeAt(at);
    d->Databases.append({name.trimmed(), database.connectionName()});
    return true;
}

QStringList Report::parameterNames() const
{
    if (!d->Component || d->PreparedKind)
        return {};
    return ParameterNames(*d->Component->Parameters());
}

bool Report::setParameter(const QString& name, const QVariant& value)
{
    d->ClearError();
    if (!d->Component) {
        d->SetError(QStringLiteral("%1: no report form is loaded").arg(kParameterPrefix.arg(name)));
        return false;
    }
    if (d->PreparedKind) {
        d->SetError(QStringLiteral("%1: a prepared report has no parameters").arg(kParameterPrefix.arg(name)));
        return false;
    }
    try {
        SetParameterValue(*d->Component->Parameters(), name, value, kParameterPrefix);
    } catch (const EKVXError& e) {
        d->SetError(e.Message(), e.Place());
        return false;
    }
    return true;
}

Report::Result Report::prepare()
{
    const Result result = d->Run([this] { return d->DoPrepare(); });
    Q_EMIT finished(result);
    return result;
}

void Report::setTwoPass(bool twoPass)
{
    d->TwoPass = twoPass;
}

void Report::setMemoryLimit(qint64 bytes)
{
    d->Store.MemoryLimit = std::max<qint64>(bytes, 0);
    if (d->Component)
        d->Component->SetPageStoreSettings(d->Store);
}

void Report::setTemporaryFolder(const QString& folder)
{
    d->Store.Folder = folder;
    if (d->Component)
        d->Component->SetPageStoreSettings(d->Store);
}

int Report::pageCount() const
{
    if (!d->Component)
        return 0;
    QSet<int> numbers;
    for (int i = 0; i < d->Component->Pages().Count(); ++i)
        numbers.insert(d->Component->Pages().Items(i)->intNumPage);
    return int(numbers.size());
}

Report::Result Report::exportTo(const QString& path, const QString& format, const QList<int>& pages,
                                const QVariantMap& options)
{
    const Result result = d->Run([&] { return d->DoExport(path, format, pages, options); });
    Q_EMIT finished(result);
    return result;
}

Report::Result Report::savePrepared(const QString& path, const QList<int>& pages)
{
    const Result result = d->Run([&] { return d->DoSavePrepared(path, pages); });
    Q_EMIT finished(result);
    return result;
}

void Report::cancel()
{
    std::lock_guard<std::mutex> lock(d->RunningLock);
    if (d->Running)
        d->Running->RequestCancel();
}

QStringList Report::formats()
{
    InitializeLibrary();
    return OutputFormatNames();
}

TKVReport* Report::component() const
{
    return d->Component.get();
}

} // namespace vorel
