#include "designer/object_inspector.h"

#include "designer/design_history.h"
#include "designer/designer_window.h"
#include "designer/expression_builder.h"
#include "model/report.h"
#include "foundation/components/component.h"
#include "foundation/records/font.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QHeaderView>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QStatusBar>

namespace vorel {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kMaxDepth = 3;

bool IsColorType(const QMetaProperty& property)
{
    return property.metaType() == QMetaType::fromType<TColor>();
}

// Properties that hold an expression of the report's language.
bool IsExpressionProperty(const QMetaProperty& property)
{
    const QLatin1String name(property.name());
    return property.metaType().id() == QMetaType::QString
           && (name.endsWith(QLatin1String("Expression")) || name == QLatin1String("ShowIf")
               || name == QLatin1String("HideWhen"));
}

// The property at a dotted path of the object, and the object holding it.
bool Resolve(QObject* object, const QString& path, QObject*& holder, QMetaProperty& property)
{
    const QStringList parts = path.split(u'.');
    holder = object;
    for (qsizetype i = 0; holder && i < parts.size(); ++i) {
        const int index = holder->metaObject()->indexOfProperty(parts[i].toLatin1().constData());
        if (index < 0)
            return false;
        property = holder->metaObject()->property(index);
        if (i + 1 < parts.size())
            holder = property.read(holder).value<QObject*>();
    }
    return holder != nullptr;
}

QString ValueText(const QObject* holder, const QMetaProperty& property)
{
    const QVariant value = property.read(holder);
    if (IsColorType(property))
        return ColorToIdent(value.value<TColor>());
    if (property.isFlagType())
        return QStringLiteral("[%1]").arg(QString::fromLatin1(property.enumerator().valueToKeys(value.toInt())).replace(u'|', u','));
    if (property.isEnumType())
        return QString::fromLatin1(property.enumerator().valueToKey(value.toInt()));
    if (property.metaType().flags() & QMetaType::PointerToQObject) {
        QObject* object = value.value<QObject*>();
        if (!object)
            return QString();
        if (auto* list = qobject_cast<TStringList*>(object))
            return QObject::tr("(%1 lines)").arg(list->Count());
        if (auto* collection = qobject_cast<TCollection*>(object))
            return QObject::tr("(%1 items)").arg(collection->Count());
        if (qobject_cast<TComponent*>(object) && !object->objectName().isEmpty())
            return object->objectName();
        return QStringLiteral("(%1)").arg(MetaClassName(object->metaObject()));
    }
    return value.toString();
}

} // namespace

TObjectInspector::TObjectInspector(TKVXDesignerWindow* window) : QTreeWidget(window), FWindow(window)
{
    setObjectName("ObjectInspector");
    setColumnCount(2);
    setHeaderLabels({tr("Property"), tr("Value")});
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // A double click opens the property's dialog (colour, font, expression
    // builder); typing edits in place.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
                    | QAbstractItemView::AnyKeyPressed);
    connect(this, &QTreeWidget::itemChanged, this, &TObjectInspector::ItemChanged);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        if (FObjects.isEmpty() || !FObjects.first())
            return;
        const QString path = item->data(0, kPathRole).toString();
        QObject* holder = nullptr;
        QMetaProperty property;
        if (!Resolve(FObjects.first(), path, holder, property))
            return;
        if (auto* collection = qobject_cast<TCollection*>(property.read(holder).value<QObject*>())) {
            Q_UNUSED(collection);
            const qsizetype dot = path.lastIndexOf(u'.');
            if (dot < 0 && FObjects.size() == 1) // one object's own collection
                FWindow->EditCollection(FObjects.first(), path, path);
            Refresh();
        } else if (IsExpressionProperty(property)) {
            TExpressionBuilder builder(FWindow->Report(), property.read(holder).toString(), this);
            if (builder.exec() == QDialog::Accepted)
                Apply(path, builder.Expression());
        } else if (IsColorType(property)) {
            const std::uint32_t rgb = ColorToRGB(property.read(holder).value<TColor>());
            const QColor color = QColorDialog::getColor(QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF), this);
            if (color.isValid())
                Apply(path, QVariant::fromValue(RGBColor(color.red(), color.green(), color.blue())));
        } else if (auto* font = qobject_cast<TFont*>(property.read(holder).value<QObject*>())) {
            bool ok = false;
            QFont initial(font->Name(), font->Size());
            initial.setBold(font->Style() & fsBold);
            initial.setItalic(font->Style() & fsItalic);
            initial.setUnderline(font->Style() & fsUnderline);
            const QFont chosen = QFontDialog::getFont(&ok, initial, this);
            if (!ok)
                return;
            TFontStyles style;
            if (chosen.bold())
                style |= fsBold;
            if (chosen.italic())
                style |= fsItalic;
            if (chosen.underline())
                style |= fsUnderline;
            if (chosen.strikeOut())
                style |= fsStrikeOut;
            TEditScope edit(FWindow->History(), tr("Font"));
            Apply(path + ".Name", chosen.family());
            Apply(path + ".Size", chosen.pointSize());
            Apply(path + ".Style", QVariant::fromValue(style));
        }
    });
}

void TObjectInspector::ShowObjects(const QList<QObject*>& objects)
{
    FObjects.clear();
    for (QObject* object : objects)
        if (object)
            FObjects.append(object);
    Refresh();
}

void TObjectInspector::Refresh()
{
    FFilling = true;
    clear();
    if (!FObjects.isEmpty() && FObjects.first())
        AddProperties(FObjects.first(), QString(), nullptr, 0);
    FFilling = false;
}

void TObjectInspector::AddProperties(QObject* object, const QString& prefix, QTreeWidgetItem* parent, int depth)
{
    const QMetaObject* mo = object->metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
        const QMetaProperty property = mo->property(i);
        if (!property.isReadable())
            continue;
        const QString path = prefix + QLatin1String(property.name());
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QLatin1String(property.name()));
        item->setData(0, kPathRole, path);
        const QVariant value = property.read(object);
        if (property.metaType().flags() & QMetaType::PointerToQObject) {
            item->setText(1, ValueText(object, property));
            QObject* child = value.value<QObject*>();
            const bool owned = child && !qobject_cast<TComponent*>(child); // components are references
            if (owned && !qobject_cast<TStringList*>(child) && !qobject_cast<TCollection*>(child) && depth < kMaxDepth)
                AddProperties(child, path + u'.', item, depth + 1);
            continue;
        }
        if (!property.isWritable()) {
            item->setText(1, ValueText(object, property));
            item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
            continue;
        }
        if (property.metaType().id() == QMetaType::Bool) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(1, value.toBool() ? Qt::Checked : Qt::Unchecked);
            continue;
        }
        if (property.isEnumType() && !property.isFlagType()) {
            auto* combo = new QComboBox;
            const QMetaEnum enumerator = property.enumerator();
            for (int k = 0; k < enumerator.keyCount(); ++k)
                combo->addItem(QLatin1String(enumerator.key(k)), enumerator.value(k));
            combo->setCurrentIndex(combo->findData(value.toInt()));
            setItemWidget(item, 1, combo);
            connect(combo, &QComboBox::activated, this,
                    [this, path, combo](int index) { Apply(path, combo->itemData(index)); });
            continue;
        }
        item->setText(1, ValueText(object, property));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

void TObjectInspector::ItemChanged(QTreeWidgetItem* item, int column)
{
    if (FFilling || column != 1)
        return;
    const QString path = item->data(0, kPathRole).toString();
    if (item->flags() & Qt::ItemIsUserCheckable)
        Apply(path, item->checkState(1) == Qt::Checked);
    else
        SetFromText(path, item->text(1));
}

bool TObjectInspector::SetFromText(const QString& path, const QString& text)
{
    if (FObjects.isEmpty() || !FObjects.first())
        return false;
    QObject* holder = nullptr;
    QMetaProperty property;
    if (!Resolve(FObjects.first(), path, holder, property) || !property.isWritable())
        return false;
    QVariant value;
    bool ok = true;
    const QString trimmed = text.trimmed();
    if (IsColorType(property)) {
        TColor color;
        ok = IdentToColor(trimmed, color);
        if (!ok) {
            const qint64 number = trimmed.startsWith(u'$') ? trimmed.mid(1).toLongLong(&ok, 16) : trimmed.toLongLong(&ok);
            color = TColor(number);
        }
        value = QVariant::fromValue(color);
    } else if (property.isFlagType()) {
        QString keys = trimmed;
        keys.remove(u'[').remove(u']').replace(u',', u'|').remove(u' ');
        const int flags = keys.isEmpty() ? 0 : property.enumerator().keysToValue(keys.toLatin1().constData(), &ok);
        value = flags;
    } else if (property.isEnumType()) {
        // By name (ctSum) as forms write it, or by number.
        const QMetaEnum enumerator = property.enumerator();
        int number = enumerator.keyToValue(trimmed.toLatin1().constData(), &ok);
        if (!ok) {
            number = trimmed.toInt(&ok);
            ok = ok && enumerator.valueToKey(number);
        }
        value = number;
    } else {
        switch (property.metaType().id()) {
        case QMetaType::Bool:
            ok = trimmed.compare(u"true", Qt::CaseInsensitive) == 0 || trimmed.compare(u"false", Qt::CaseInsensitive) == 0;
            value = trimmed.compare(u"true", Qt::CaseInsensitive) == 0;
            break;
        case QMetaType::Int:
            value = trimmed.toInt(&ok);
            break;
        case QMetaType::Double:
            value = trimmed.toDouble(&ok);
            break;
        case QMetaType::QString:
            value = text;
            break;
        default:
            ok = false;
        }
    }
    if (!ok) {
        FWindow->statusBar()->showMessage(tr("%1: \"%2\" is not a valid value").arg(path, text), 8000);
        Refresh();
        return false;
    }
    Apply(path, value);
    return true;
}

void TObjectInspector::Apply(const QString& path, const QVariant& value)
{
    FWindow->SetPropertyOnSelection(path, value);
    Refresh();
}

QTreeWidgetItem* TObjectInspector::ItemOf(const QString& path) const
{
    for (QTreeWidgetItemIterator it(const_cast<TObjectInspector*>(this)); *it; ++it)
        if ((*it)->data(0, kPathRole).toString() == path)
            return *it;
    return nullptr;
}

} // namespace vorel
