#include "designer/data_sources_dialog.h"

#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "designer/designer_window.h"
#include "foundation/components/component.h"
#include "model/report.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QSyntaxHighlighter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace vorel {

namespace {

// Keywords, strings, comments and :parameters of the SQL editor.
class TSqlHighlighter : public QSyntaxHighlighter {
public:
    explicit TSqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document)
    {
        FKeyword.setForeground(QColor(0x00, 0x33, 0x99));
        FKeyword.setFontWeight(QFont::Bold);
        FString.setForeground(QColor(0x99, 0x33, 0x00));
        FComment.setForeground(QColor(0x60, 0x80, 0x60));
        FComment.setFontItalic(true);
        FParameter.setForeground(QColor(0x80, 0x00, 0x80));
    }

protected:
    void highlightBlock(const QString& text) override
    {
        static const QRegularExpression keywords(
            QStringLiteral("\\b(SELECT|FROM|WHERE|AND|OR|NOT|IN|IS|NULL|LIKE|BETWEEN|JOIN|LEFT|RIGHT|INNER|OUTER|FULL|"
                           "CROSS|ON|AS|GROUP|BY|ORDER|HAVING|LIMIT|OFFSET|UNION|ALL|DISTINCT|CASE|WHEN|THEN|ELSE|END|"
                           "ASC|DESC|WITH|EXISTS|CAST|COUNT|SUM|AVG|MIN|MAX|COALESCE)\\b"),
            QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression parameter(QStringLiteral(":[A-Za-z_][A-Za-z0-9_]*"));
        static const QRegularExpression string(QStringLiteral("'(?:[^']|'')*'?"));
        for (auto it = keywords.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), FKeyword);
        }
        for (auto it = parameter.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), FParameter);
        }
        for (auto it = string.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), FString);
        }
        if (const qsizetype comment = text.indexOf(QLatin1String("--")); comment >= 0)
            setFormat(int(comment), int(text.size() - comment), FComment);
    }

private:
    QTextCharFormat FKeyword, FString, FComment, FParameter;
};

QString TypeText(TFieldType type)
{
    QString name = FieldTypeName(type);
    if (name.startsWith(QLatin1String("ft")))
        name.remove(0, 2);
    return name;
}

} // namespace

QList<TFieldRow> ListDataSetFields(const TDataSet* dataSet, const QString* connection, const QString* sql)
{
    QList<TFieldRow> rows;
    if (!dataSet)
        return rows;
    auto rowsOf = [&rows](const TDataSet* source) {
        rows.reserve(source->FieldCount());
        for (int i = 0; i < source->FieldCount(); ++i) {
            const TField* field = source->Fields(i);
            rows.append({field->FieldName(), TypeText(field->DataType()), field->Size()});
        }
    };
    // An open data set (one the application filled, too) shows its fields
    // as they are, unless the editor's query differs.
    if (dataSet->Active() && !connection && !sql) {
        rowsOf(dataSet);
        return rows;
    }
    // A copy with the data set's stored settings, Active aside: opening it
    // leaves the original (and so the report's form) as it was, and runs
    // the query once, as the editor has it.
    auto* original = const_cast<TDataSet*>(dataSet);
    std::unique_ptr<QObject> made(CreateObject(original->ClassName(), nullptr));
    auto* copy = qobject_cast<TDataSet*>(made.get());
    if (!copy)
        throw EKVXError(QStringLiteral("%1: the data set cannot be copied").arg(original->DisplayedName()));
    copy->setObjectName(original->objectName()); // messages name the data set
    copy->SetBaseDirectory(original->BaseDirectory());
    const QMetaObject* meta = original->metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isWritable() || !property.isStored() || qstrcmp(property.name(), "Active") == 0 ||
            qstrcmp(property.name(), "Name") == 0)
            continue;
        // Owned lists (parameters) are copied by their setters.
        property.write(copy, property.read(original));
    }
    if (auto* query = qobject_cast<TSqlDataSet*>(copy)) {
        // The copy only ever reads, whatever the original allows.
        query->SetReadOnly(true);
        query->SetAllowWrites(false);
        if (connection)
            query->SetConnection(*connection);
        if (sql)
            query->SetSQL(*sql);
        if (auto* sqlOriginal = qobject_cast<const TSqlDataSet*>(dataSet);
            sqlOriginal && !sqlOriginal->DatabaseConnectionName().isEmpty() && !connection)
            query->SetDatabase(QSqlDatabase::database(sqlOriginal->DatabaseConnectionName(), false));
    }
    copy->Open();
    rowsOf(copy);
    copy->Close();
    return rows;
}

TDataSourcesDialog::TDataSourcesDialog(TKVXDesignerWindow* window, QWidget* parent)
    : QDialog(parent), FWindow(window)
{
    setWindowTitle(tr("Data sources"));
    setObjectName("DataSourcesDialog");
    resize(820, 540);
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(this);
    layout->addWidget(splitter, 1);

    // Left: the data sets, with add and remove.
    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(new QLabel(tr("Data sets of the report:"), left));
    FList = new QListWidget(left);
    leftLayout->addWidget(FList, 1);
    auto* listButtons = new QHBoxLayout;
    auto* add = new QPushButton(tr("Add SQL data set"), left);
    FRemove = new QPushButton(tr("Remove"), left);
    listButtons->addWidget(add);
    listButtons->addWidget(FRemove);
    leftLayout->addLayout(listButtons);

    // Right: name, connection, the query and its fields.
    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout;
    FName = new QLineEdit(right);
    FConnection = new QLineEdit(right);
    FConnection->setPlaceholderText(QStringLiteral("sqlite:shop.db   postgresql://user@host/db"));
    form->addRow(tr("&Name:"), FName);
    form->addRow(tr("&Connection:"), FConnection);
    rightLayout->addLayout(form);
    rightLayout->addWidget(new QLabel(tr("&SQL:"), right));
    FSql = new QPlainTextEdit(right);
    FSql->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FSql->setTabChangesFocus(true);
    new TSqlHighlighter(FSql->document());
    qobject_cast<QLabel*>(rightLayout->itemAt(rightLayout->count() - 1)->widget())->setBuddy(FSql);
    rightLayout->addWidget(FSql, 2);
    auto* editButtons = new QHBoxLayout;
    FApply = new QPushButton(tr("&Apply"), right);
    auto* refresh = new QPushButton(tr("&Fields"), right);
    refresh->setToolTip(tr("Runs the query (read-only) and lists its fields, without applying it"));
    FQueryBuilder = new QPushButton(tr("Query builder..."), right);
    editButtons->addWidget(FApply);
    editButtons->addWidget(refresh);
    editButtons->addWidget(FQueryBuilder);
    editButtons->addStretch(1);
    rightLayout->addLayout(editButtons);
    FMessage = new QLabel(right);
    FMessage->setWordWrap(true);
    FMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FMessage->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    rightLayout->addWidget(FMessage);
    FFields = new QTreeWidget(right);
    FFields->setRootIsDecorated(false);
    FFields->setHeaderLabels({tr("Field"), tr("Type"), tr("Size")});
    FFields->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    rightLayout->addWidget(FFields, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({240, 560});

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* inspector = buttons->addButton(tr("Object &inspector..."), QDialogButtonBox::ResetRole);
    inspector->setToolTip(tr("Every property of the data set (parameters, master link, ...) in the object inspector"));
    connect(inspector, &QPushButton::clicked, this, [this] {
        FInspectorAsked = !FCurrent.isNull();
        reject();
    });
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] { AddDataSet(); });
    connect(FRemove, &QPushButton::clicked, this, [this] { RemoveCurrent(); });
    connect(FApply, &QPushButton::clicked, this, [this] { ApplyCurrent(); });
    connect(refresh, &QPushButton::clicked, this, [this] { RefreshFields(); });
    connect(FList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (FFilling)
            return;
        const QList<TDataSet*> dataSets = FWindow->ReportDataSets();
        FCurrent = row >= 0 && row < dataSets.size() ? dataSets[row] : nullptr;
        ShowCurrent();
    });
    TKVXDataManager* manager = FWindow->Report() ? FWindow->Report()->DataManager() : nullptr;
    FQueryBuilder->setVisible(manager && manager->OnQueryBuilder);
    connect(FQueryBuilder, &QPushButton::clicked, this, [this, manager] {
        // The application's query builder takes the editor's text and gives
        // back the changed text; applying it stays the user's choice.
        QString sql = FSql->toPlainText();
        manager->OnQueryBuilder(manager, sql);
        FSql->setPlainText(sql);
    });

    const QList<TDataSet*> dataSets = FWindow->ReportDataSets();
    FCurrent = dataSets.isEmpty() ? nullptr : dataSets.first();
    FillList();
    ShowCurrent();
}

QString TDataSourcesDialog::Message() const
{
    return FMessage->text();
}

void TDataSourcesDialog::ShowMessage(const QString& text)
{
    FMessage->setText(text);
    FMessage->setVisible(!text.isEmpty());
}

void TDataSourcesDialog::FillList()
{
    FFilling = true;
    FList->clear();
    int current = -1;
    const QList<TDataSet*> dataSets = FWindow->ReportDataSets();
    for (TDataSet* dataSet : dataSets) {
        QString text = dataSet->Name();
        if (!qobject_cast<TSqlDataSet*>(dataSet))
            text += QStringLiteral("  (%1)").arg(dataSet->ClassName());
        if (FWindow->Report() && FWindow->Report()->DataSet() == dataSet)
            text += tr("  - master");
        FList->addItem(text);
        if (dataSet == FCurrent)
            current = int(FList->count() - 1);
    }
    FList->setCurrentRow(current);
    FFilling = false;
}

void TDataSourcesDialog::Select(TDataSet* dataSet)
{
    FCurrent = dataSet;
    FillList();
    ShowCurrent();
}

void TDataSourcesDialog::ShowCurrent()
{
    TDataSet* dataSet = FCurrent.data();
    auto* query = qobject_cast<TSqlDataSet*>(dataSet);
    FName->setEnabled(dataSet);
    FName->setText(dataSet ? dataSet->Name() : QString());
    // Only an SQL data set has a connection and a query to edit; others
    // (CSV files, data the application fills) show their fields.
    FConnection->setEnabled(query);
    FSql->setEnabled(query);
    FConnection->setText(query ? query->Connection() : QString());
    FSql->setPlainText(query ? query->SQL() : QString());
    FRemove->setEnabled(dataSet);
    FApply->setEnabled(dataSet);
    RefreshFields();
}

TDataSet* TDataSourcesDialog::AddDataSet()
{
    QString connection;
    for (TDataSet* dataSet : FWindow->ReportDataSets())
        if (auto* query = qobject_cast<TSqlDataSet*>(dataSet); query && !query->Connection().isEmpty()) {
            connection = query->Connection();
            break;
        }
    QString name;
    for (int i = 1;; ++i) {
        name = QStringLiteral("Query%1").arg(i);
        if (FWindow->CheckDataSetName(name).isEmpty())
            break;
    }
    QString error;
    TDataSet* made = FWindow->AddSqlDataSet(name, connection, QString(), &error);
    if (!made) {
        ShowMessage(error);
        return nullptr;
    }
    Select(made);
    FSql->setFocus();
    return made;
}

void TDataSourcesDialog::RemoveCurrent()
{
    if (!FCurrent)
        return;
    const QList<TDataSet*> before = FWindow->ReportDataSets();
    const qsizetype index = before.indexOf(FCurrent.data());
    FWindow->RemoveDataSet(FCurrent.data());
    const QList<TDataSet*> after = FWindow->ReportDataSets();
    Select(after.isEmpty() ? nullptr : after[std::clamp<qsizetype>(index, 0, after.size() - 1)]);
}

bool TDataSourcesDialog::ApplyCurrent()
{
    if (!FCurrent)
        return false;
    const bool query = qobject_cast<TSqlDataSet*>(FCurrent.data());
    const QString connection = FConnection->text().trimmed();
    const QString sql = FSql->toPlainText();
    QString error;
    if (!FWindow->ChangeDataSet(FCurrent.data(), FName->text().trimmed(), query ? &connection : nullptr,
                                query ? &sql : nullptr, &error)) {
        ShowMessage(error);
        return false;
    }
    FillList();
    RefreshFields();
    if (!error.isEmpty())
        ShowMessage(error);
    return true;
}

void TDataSourcesDialog::RefreshFields()
{
    FFields->clear();
    ShowMessage(QString());
    TDataSet* dataSet = FCurrent.data();
    if (!dataSet)
        return;
    const bool query = qobject_cast<TSqlDataSet*>(dataSet);
    const QString connection = FConnection->text().trimmed();
    const QString sql = FSql->toPlainText();
    if (query && sql.trimmed().isEmpty()) {
        ShowMessage(tr("Write the query, then list its fields."));
        return;
    }
    try {
        const QList<TFieldRow> rows =
            ListDataSetFields(dataSet, query ? &connection : nullptr, query ? &sql : nullptr);
        for (const TFieldRow& row : rows)
            new QTreeWidgetItem(FFields, {row.Name, row.Type, row.Size > 0 ? QString::number(row.Size) : QString()});
    } catch (const std::exception& e) {
        // The data layer's own message: it names the data set, the
        // connection or the statement and what went wrong.
        ShowMessage(QString::fromUtf8(e.what()));
    }
}

} // namespace vorel
