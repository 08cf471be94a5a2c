#include "data/data_binding.h"

#include "data/csv_dataset.h"
#include "data/dataset.h"
#include "data/sql_dataset.h"
#include "foundation/components/component.h"
#include "foundation/values/errors.h"

#include <QDir>
#include <QFileInfo>

namespace vorel {

namespace {

bool IsDataSetClass(const QString& className)
{
    const QMetaObject* meta = GetClass(className);
    return meta && meta->inherits(&TDataSet::staticMetaObject);
}

// Every entry answering to the name: component names are not case-sensitive,
// and a form may hold two entries of one name (the later replaces the
// earlier as the form is read).
void FindEntries(FormComponent& entry, const QString& name, QList<FormComponent*>& found)
{
    if (entry.Name.compare(name, Qt::CaseInsensitive) == 0)
        found.append(&entry);
    for (FormComponent& child : entry.Children)
        FindEntries(child, name, found);
}

bool RefersTo(const FormValue& value, const QString& name)
{
    if (value.Kind == vaIdent && value.Text.compare(name, Qt::CaseInsensitive) == 0)
        return true;
    for (const FormValue& item : value.List)
        if (RefersTo(item, name))
            return true;
    for (const FormCollectionItem& item : value.Items)
        for (const FormProperty& property : item.Properties)
            if (RefersTo(property.Value, name))
                return true;
    return false;
}

bool RefersTo(const FormComponent& entry, const QString& name)
{
    for (const FormProperty& property : entry.Properties)
        if (RefersTo(property.Value, name))
            return true;
    for (const FormComponent& child : entry.Children)
        if (RefersTo(child, name))
            return true;
    return false;
}

void CollectDataSetNames(const FormComponent& entry, QStringList& names)
{
    if (IsDataSetClass(entry.ClassName))
        names << entry.Name;
    for (const FormComponent& child : entry.Children)
        CollectDataSetNames(child, names);
}

const FormProperty* FindProperty(const FormComponent& entry, QStringView name)
{
    for (const FormProperty& property : entry.Properties)
        if (property.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &property;
    return nullptr;
}

void SetProperty(FormComponent& entry, const QString& name, const FormValue& value)
{
    for (FormProperty& property : entry.Properties)
        if (property.Name.compare(name, Qt::CaseInsensitive) == 0) {
            property.Value = value;
            return;
        }
    FormProperty property;
    property.Name = name;
    property.Value = value;
    entry.Properties.push_back(std::move(property));
}

void RemoveProperty(FormComponent& entry, QStringView name)
{
    std::erase_if(entry.Properties,
                  [&](const FormProperty& property) { return property.Name.compare(name, Qt::CaseInsensitive) == 0; });
}

QString IdentOf(const FormProperty* property)
{
    return property && property->Value.Kind == vaIdent ? property->Value.Text : QString();
}

void Bind(FormComponent& entry, const TDataBinding& binding)
{
    const QString sqlClass = QString::fromLatin1(TSqlDataSet::staticMetaObject.className()).section(QStringLiteral("::"), -1);
    const QString csvClass = QString::fromLatin1(TCsvDataSet::staticMetaObject.className()).section(QStringLiteral("::"), -1);
    if (binding.Csv) {
        // A detail's rows follow its master through its query's parameters;
        // a CSV file would give every row under every master record.
        const QString master = IdentOf(FindProperty(entry, u"Master"));
        if (!master.isEmpty())
            throw EKVXError(QStringLiteral("%1 is a detail of %2; a CSV file cannot follow its master, bind it "
                                           "to an SQL source with a query that takes the master's fields")
                                .arg(entry.Name, master));
        if (entry.ClassName.compare(csvClass, Qt::CaseInsensitive) != 0) {
            entry.ClassName = csvClass;
            entry.Properties.clear();
        }
        SetProperty(entry, QStringLiteral("FileName"), FormValue::String(binding.Location));
    } else {
        if (entry.ClassName.compare(sqlClass, Qt::CaseInsensitive) != 0) {
            if (binding.Sql.isEmpty() && entry.ClassName.isEmpty())
                throw EKVXError(QStringLiteral("the form refers to %1 but does not hold it; give the query with "
                                               "?sql=SELECT ...")
                                    .arg(entry.Name));
            if (binding.Sql.isEmpty())
                throw EKVXError(QStringLiteral("the data set %1 of the form is a %2; give the query with ?sql=SELECT ...")
                                    .arg(entry.Name, entry.ClassName));
            entry.ClassName = sqlClass;
            entry.Properties.clear();
        }
        if (binding.Sql.isEmpty() && !FindProperty(entry, u"SQL"))
            throw EKVXError(QStringLiteral("the data set %1 of the form has no query; give it with ?sql=SELECT ...")
                                .arg(entry.Name));
        SetProperty(entry, QStringLiteral("Connection"), FormValue::String(binding.Location));
        // A source given from outside is opened read-only whatever the form
        // says: the form was written for its own database, not this one.
        RemoveProperty(entry, u"ReadOnly");
        if (!binding.Sql.isEmpty())
            SetProperty(entry, QStringLiteral("SQL"), FormValue::String(binding.Sql));
    }
    // Opened after the form is read, masters first, so that a source given
    // on the command line is reported as such rather than as a line of the form.
    RemoveProperty(entry, u"Active");
}

} // namespace

bool ParseDataSource(const QString& text, TDataBinding& binding, QString& error)
{
    binding.Csv = false;
    binding.Location.clear();
    binding.Sql.clear();
    const QString source = text.trimmed();
    if (source.isEmpty()) {
        error = QStringLiteral("no source given (csv:PATH, sqlite:PATH?sql=SELECT ..., "
                               "postgresql://USER@HOST/DB?sql=SELECT ...)");
        return false;
    }
    if (source.startsWith(u"csv:", Qt::CaseInsensitive)) {
        binding.Csv = true;
        binding.Location = source.mid(4);
        if (binding.Location.isEmpty()) {
            error = QStringLiteral("the CSV source names no file");
            return false;
        }
        binding.Location = QFileInfo(binding.Location).absoluteFilePath();
        return true;
    }
    // The query is the last item of the source: from the first "?sql=" or
    // "&sql=" to the end (the query itself may hold either text).
    QString connection = source;
    qsizetype at = -1;
    qsizetype markerSize = 0;
    for (const QLatin1String marker : {QLatin1String("?sql="), QLatin1String("&sql=")}) {
        const qsizetype found = source.indexOf(marker, 0, Qt::CaseInsensitive);
        if (found >= 0 && (at < 0 || found < at)) {
            at = found;
            markerSize = marker.size();
        }
    }
    if (at >= 0) {
        connection = source.left(at);
        binding.Sql = source.mid(at + markerSize).trimmed();
        if (binding.Sql.isEmpty()) {
            error = QStringLiteral("sql= gives no query");
            return false;
        }
    }
    const bool sqlite = connection.startsWith(u"sqlite:", Qt::CaseInsensitive) ||
                        connection.startsWith(u"sqlite3:", Qt::CaseInsensitive);
    const bool postgres = connection.startsWith(u"postgresql://", Qt::CaseInsensitive) ||
                          connection.startsWith(u"postgres://", Qt::CaseInsensitive);
    if (!sqlite && !postgres) {
        error = QStringLiteral("unknown source; use csv:PATH, sqlite:PATH or postgresql://...");
        return false;
    }
    if (sqlite) {
        // The file is the user's, named from where the command runs.
        const QString scheme = connection.section(u':', 0, 0);
        QString path = connection.section(u':', 1);
        if (path.startsWith(u"//"))
            path = path.mid(2);
        if (path.isEmpty()) {
            error = QStringLiteral("the SQLite source names no file");
            return false;
        }
        if (path != u":memory:")
            path = QFileInfo(path).absoluteFilePath();
        connection = scheme + u':' + path;
    }
    binding.Location = connection;
    return true;
}

QList<FormComponent*> FindDataSetEntries(FormComponent& tree, const QString& name, const QString& prefixFormat)
{
    const QString prefix = prefixFormat.arg(name);
    QList<FormComponent*> entries;
    FindEntries(tree, name, entries);
    QList<FormComponent*> dataSets;
    for (FormComponent* entry : entries)
        if (IsDataSetClass(entry->ClassName))
            dataSets.append(entry);
    if (dataSets.isEmpty() && !entries.isEmpty())
        throw EKVXError(QStringLiteral("%1: the form's %2 is a %3, not a data set")
                            .arg(prefix, name, entries.first()->ClassName));
    if (entries.isEmpty() && !RefersTo(tree, name)) {
        QStringList names;
        CollectDataSetNames(tree, names);
        throw EKVXError(QStringLiteral("%1: the form has no data set named %2 (it has: %3)")
                            .arg(prefix, name, names.isEmpty() ? QStringLiteral("none") : names.join(u", ")));
    }
    return dataSets;
}

void ApplyDataBindings(FormComponent& tree, const QList<TDataBinding>& bindings, const QString& prefixFormat)
{
    for (const TDataBinding& binding : bindings) {
        QList<FormComponent*> dataSets = FindDataSetEntries(tree, binding.Name, prefixFormat);
        if (dataSets.isEmpty()) {
            // The form refers to a data set the application was to supply:
            // the bound one joins the form, so the reference finds it.
            FormComponent added;
            added.Name = binding.Name;
            added.Complete = true;
            tree.Children.push_back(std::move(added));
            dataSets.append(&tree.Children.back());
        }
        // A name held twice: whichever entry the reader keeps gets the source.
        try {
            for (FormComponent* entry : dataSets)
                Bind(*entry, binding);
        } catch (const EKVXError& e) {
            throw EKVXError(QStringLiteral("%1: %2").arg(prefixFormat.arg(binding.Name), e.Message()));
        }
    }
}

namespace {

void RemoveEntries(FormComponent& entry, const QList<FormComponent*>& doomed)
{
    std::erase_if(entry.Children, [&](const FormComponent& child) { return doomed.contains(&child); });
    for (FormComponent& child : entry.Children)
        RemoveEntries(child, doomed);
}

} // namespace

void RemoveDataSetEntries(FormComponent& tree, const QString& name, const QString& prefixFormat)
{
    const QList<FormComponent*> dataSets = FindDataSetEntries(tree, name, prefixFormat);
    if (!dataSets.isEmpty())
        RemoveEntries(tree, dataSets);
}

void KeepDataSetClosed(FormComponent& tree, const QString& name, const QMetaObject* dataSetClass,
                       const QString& prefixFormat)
{
    const QList<FormComponent*> dataSets = FindDataSetEntries(tree, name, prefixFormat);
    const QString className = QString::fromLatin1(dataSetClass->className()).section(QStringLiteral("::"), -1);
    if (dataSets.isEmpty())
        throw EKVXError(QStringLiteral("%1: the form refers to %2 but does not hold it").arg(prefixFormat.arg(name), name));
    for (FormComponent* entry : dataSets) {
        const QMetaObject* meta = GetClass(entry->ClassName);
        if (!meta || !meta->inherits(dataSetClass))
            throw EKVXError(QStringLiteral("%1: the form's %2 is a %3, not a %4")
                                .arg(prefixFormat.arg(name), name, entry->ClassName, className));
        RemoveProperty(*entry, u"Active");
    }
}

} // namespace vorel
