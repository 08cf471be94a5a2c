#include "designer/collection_editor.h"

#include "designer/design_history.h"
#include "foundation/components/component.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMetaType>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace vorel {

namespace {

QString ItemTitle(const QVariantMap& item, int index)
{
    for (const char* key : {"Name", "DisplayLabel", "Caption", "Expression"}) {
        const QString text = item.value(QLatin1String(key)).toString();
        if (!text.isEmpty())
            return QStringLiteral("%1: %2").arg(index).arg(text);
    }
    return QString::number(index);
}

} // namespace

TCollectionEditor::TCollectionEditor(const TCollection* collection, const QString& title, QWidget* parent)
    : QDialog(parent), FCollection(collection)
{
    setWindowTitle(title);
    resize(620, 420);
    for (int i = 0; i < collection->Count(); ++i)
        FItems.append(CaptureProperties(collection->Items(i)));
    // A fresh item gives the values a new one starts with.
    std::unique_ptr<QObject> fresh(
        collection->ItemClass()->newInstance(Q_ARG(vorel::TCollection*, nullptr)));
    if (fresh)
        FDefaults = CaptureProperties(fresh.get());

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    FList = new QListWidget(this);
    left->addWidget(FList);
    auto* add = new QPushButton(tr("Add"), this);
    auto* remove = new QPushButton(tr("Remove"), this);
    left->addWidget(add);
    left->addWidget(remove);
    row->addLayout(left, 1);
    FTable = new QTableWidget(0, 2, this);
    FTable->setHorizontalHeaderLabels({tr("Property"), tr("Value")});
    FTable->horizontalHeader()->setStretchLastSection(true);
    FTable->verticalHeader()->hide();
    row->addWidget(FTable, 2);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] { AddItem(); });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveItem(FList->currentRow()); });
    connect(FList, &QListWidget::currentRowChanged, this, [this](int index) { ShowItem(index); });
    connect(FTable, &QTableWidget::cellChanged, this, [this](int r, int column) {
        if (FFilling || column != 1)
            return;
        const int index = FList->currentRow();
        const QString key = FTable->item(r, 0)->text();
        if (!SetValue(index, key, FTable->item(r, 1)->text()))
            ShowItem(index);
        else
            FList->item(index)->setText(ItemTitle(FItems[index].toMap(), index));
    });
    FillList();
}

void TCollectionEditor::FillList()
{
    FList->clear();
    for (int i = 0; i < FItems.size(); ++i)
        FList->addItem(ItemTitle(FItems[i].toMap(), i));
    if (!FItems.isEmpty())
        FList->setCurrentRow(0);
    else
        ShowItem(-1);
}

void TCollectionEditor::ShowItem(int index)
{
    FFilling = true;
    FTable->setRowCount(0);
    if (index >= 0 && index < FItems.size()) {
        const QVariantMap item = FItems[index].toMap();
        for (auto it = item.cbegin(); it != item.cend(); ++it) {
            const int r = FTable->rowCount();
            FTable->insertRow(r);
            auto* name = new QTableWidgetItem(it.key());
            name->setFlags(name->flags() & ~Qt::ItemIsEditable);
            FTable->setItem(r, 0, name);
            const QVariant& value = it.value();
            auto* cell = new QTableWidgetItem(value.toString());
            // Lists and references are not typed in here.
            if (!value.canConvert<QString>() || value.metaType().id() == QMetaType::QVariantList)
                cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
            FTable->setItem(r, 1, cell);
        }
    }
    FFilling = false;
}

void TCollectionEditor::AddItem()
{
    FItems.append(FDefaults);
    FillList();
    FList->setCurrentRow(int(FItems.size()) - 1);
}

void TCollectionEditor::RemoveItem(int index)
{
    if (index < 0 || index >= FItems.size())
        return;
    FItems.removeAt(index);
    FillList();
}

bool TCollectionEditor::SetValue(int index, const QString& key, const QString& text)
{
    if (index < 0 || index >= FItems.size())
        return false;
    QVariantMap item = FItems[index].toMap();
    if (!item.contains(key))
        return false;
    QVariant value = text;
    const QMetaType type = item.value(key).metaType();
    if (type.id() == QMetaType::Bool) {
        const QString lower = text.trimmed().toLower();
        if (lower != u"true" && lower != u"false")
            return false;
        value = lower == u"true";
    } else if (type.id() == QMetaType::Int || type.id() == QMetaType::Double) {
        bool ok = false;
        if (type.id() == QMetaType::Int)
            value = text.trimmed().toInt(&ok);
        else
            value = text.trimmed().toDouble(&ok);
        if (!ok)
            return false;
    } else if (type.id() != QMetaType::QString) {
        if (!value.convert(type))
            return false;
    }
    item.insert(key, value);
    FItems[index] = item;
    return true;
}

} // namespace vorel
