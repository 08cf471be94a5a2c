#include "cli/data_binding.h"

#include "data/csv_dataset.h"
#include "data/dataset.h"
#include "data/sql_dataset.h"
#include "foundation/component.h"
#include "foundation/errors.h"

#include <QDir>
#include <QFileInfo>

namespace vorel::cli {

namespace {

bool IsDataSetClass(const QString& className)
{
    const QMetaObject* meta = GetClass(className);
    return meta && meta->inherits(&TDataSet::staticMetaObject);
}

FormComponent* FindEntry(FormComponent& entry, const QString& name)
{
    if (entry.Name.compare(name, Qt::CaseInsensitive) == 0)
        return &entry;
    for (FormComponent& child : entry.Children)
        if (FormComponent* found = FindEntry(child, name))
            return found;
    return nullptr;
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

// Keeps the properties a data set of another class shares with every data
// set: the link to a master and whether it opens.
void KeepOnly(FormComponent& entry, std::initializer_list<QStringView> names)
{
    std::erase_if(entry.Properties, [&](const FormProperty& property) {
        for (QStringView name : names)
            if (property.Name.compare(name, Qt::CaseInsensitive) == 0)
                return false;
        return true;
    });
}

void Bind(FormComponent& entry, const TDataBinding& binding)
{
    const QString sqlClass = QString::fromLatin1(TSqlDataSet::staticMetaObject.className()).section(QStringLiteral("::"), -1);
    const QString csvClass = QString::fromLatin1(TCsvDataSet::staticMetaObject.className()).section(QStringLiteral("::"), -1);
    if (binding.Csv) {
        if (entry.ClassName.compare(csvClass, Qt::CaseInsensitive) != 0) {
            entry.ClassName = csvClass;
            KeepOnly(entry, {u"Active"});
        }
        SetProperty(entry, QStringLiteral("FileName"), FormValue::String(binding.Location));
        return;
    }
    if (entry.ClassName.compare(sqlClass, Qt::CaseInsensitive) != 0) {
        if (binding.Sql.isEmpty() && entry.ClassName.isEmpty())
            throw EKVXError(QStringLiteral("the form refers to %1 but does not hold it; give the query with "
                                           "?sql=SELECT ...")
                                .arg(entry.Name));
        if (binding.Sql.isEmpty())
            throw EKVXError(QStringLiteral("the data set %1 of the form is a %2; give the query with ?sql=SELECT ...")
                                .arg(entry.Name, entry.ClassName));
        entry.ClassName = sqlClass;
        KeepOnly(entry, {u"Active"});
    }
    if (binding.Sql.isEmpty() && !FindProperty(entry, u"SQL"))
        throw EKVXError(QStringLiteral("the data set %1 of the form has no query; give it with ?sql=SELECT ...")
                            .arg(entry.Name));
    SetProperty(entry, QStringLiteral("Connection"), FormValue::String(binding.Location));
    if (!binding.Sql.isEmpty())
        SetProperty(entry, QStringLiteral("SQL"), FormValue::String(binding.Sql));
}

} // namespace

bool ParseDataBinding(const QString& argument, TDataBinding& binding, QString& error)
{
    binding = TDataBinding();
    const qsizetype eq = argument.indexOf(u'=');
    binding.Name = argument.left(eq).trimmed();
    const QString source = eq >= 0 ? argument.mid(eq + 1).trimmed() : QString();
    if (eq <= 0 || binding.Name.isEmpty() || source.isEmpty()) {
        error = QStringLiteral("--data \"%1\": expected NAME=SOURCE (csv:PATH, sqlite:PATH?sql=SELECT ..., "
                               "postgresql://USER@HOST/DB?sql=SELECT ...)")
                    .arg(argument);
        return false;
    }
    if (source.startsWith(u"csv:", Qt::CaseInsensitive)) {
        binding.Csv = true;
        binding.Location = source.mid(4);
        if (binding.Location.isEmpty()) {
            error = QStringLiteral("--data \"%1\": the CSV source names no file").arg(argument);
            return false;
        }
        binding.Location = QFileInfo(binding.Location).absoluteFilePath();
        return true;
    }
    // The query is the last item of the source: "?sql=" or "&sql=" up to the end.
    QString connection = source;
    for (const QLatin1String marker : {QLatin1String("?sql="), QLatin1String("&sql=")}) {
        const qsizetype at = source.indexOf(marker, 0, Qt::CaseInsensitive);
        if (at >= 0) {
            connection = source.left(at);
            binding.Sql = source.mid(at + marker.size()).trimmed();
            break;
        }
    }
    const bool sqlite = connection.startsWith(u"sqlite:", Qt::CaseInsensitive) ||
                        connection.startsWith(u"sqlite3:", Qt::CaseInsensitive);
    const bool postgres = connection.startsWith(u"postgresql://", Qt::CaseInsensitive) ||
                          connection.startsWith(u"postgres://", Qt::CaseInsensitive);
    if (!sqlite && !postgres) {
        error = QStringLiteral("--data \"%1\": unknown source; use csv:PATH, sqlite:PATH or postgresql://...")
                    .arg(argument);
        return false;
    }
    if (sqlite) {
        // The file is the user's, named from where the command runs.
        const QString scheme = connection.section(u':', 0, 0);
        QString path = connection.section(u':', 1);
        if (path.startsWith(u"//"))
            path = path.mid(2);
        if (path.isEmpty()) {
            error = QStringLiteral("--data \"%1\": the SQLite source names no file").arg(argument);
            return false;
        }
        if (path != u":memory:")
            path = QFileInfo(path).absoluteFilePath();
        connection = scheme + u':' + path;
    }
    binding.Location = connection;
    return true;
}

void ApplyDataBindings(FormComponent& tree, const QList<TDataBinding>& bindings)
{
    for (const TDataBinding& binding : bindings) {
        FormComponent* entry = FindEntry(tree, binding.Name);
        if (entry && !IsDataSetClass(entry->ClassName))
            throw EKVXError(QStringLiteral("--data %1: the form's %1 is a %2, not a data set")
                                .arg(binding.Name, entry->ClassName));
        if (!entry) {
            if (!RefersTo(tree, binding.Name)) {
                QStringList names;
                CollectDataSetNames(tree, names);
                throw EKVXError(QStringLiteral("--data %1: the form has no data set named %1 (it has: %2)")
                                    .arg(binding.Name, names.isEmpty() ? QStringLiteral("none") : names.join(u", ")));
            }
            // The form refers to a data set the application was to supply:
            // the bound one joins the form, so the reference finds it.
            FormComponent added;
            added.Name = binding.Name;
            added.Complete = true;
            tree.Children.push_back(std::move(added));
            entry = &tree.Children.back();
        }
        try {
            Bind(*entry, binding);
        } catch (const EKVXError& e) {
            throw EKVXError(QStringLiteral("--data %1: %2").arg(binding.Name, e.Message()));
        }
    }
}

} // namespace vorel::cli
