#pragma once
// The data manager: the named list of data sets a report reads from, and the
// field lookup the expression language resolves names through.
//
// A plain name ("Total") is a field of the first data set of the list; a
// qualified name ("Orders.Total") a field of the data set whose caption or
// component name is the qualifier. A name with two full stops
// ("Module.Orders.Total") drops the leading qualifier, so a field reached
// through a data module still resolves.

#include "data/dataset.h"
#include "foundation/components/component.h"

#include <QPointer>
#include <QString>
#include <functional>

namespace vorel {

class TKVXDataManager;
class TKVXDatasets;

// One entry of the list: a data set (referenced, not owned) and the caption
// expressions qualify its fields with.
class TKVXDataset : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "One entry of a data manager: a data set and the caption expressions qualify its fields with.")
    Q_PROPERTY(vorel::TDataSet* Dataset READ Dataset WRITE SetDataset)
    Q_CLASSINFO("Doc.Dataset", "The data set (referenced, not owned).")
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_CLASSINFO("Doc.Caption", "The name expressions qualify the fields with ('Orders' in 'Orders.Amount'); the data "
                               "set's name while empty.")
public:
    Q_INVOKABLE explicit TKVXDataset(vorel::TCollection* collection = nullptr);

    TDataSet* Dataset() const { return FDataset.data(); }
    // None clears the caption; a data set fills an empty caption with its
    // component name and leaves a non-empty one alone.
    void SetDataset(TDataSet* dataSet);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);

    // Copies the caption, then the data set (so the copied caption
    // survives), inside a begin/end update of the owning collection.
    void Assign(const TPersistent* source) override;
    QString DisplayName() const override;

private:
    // A freed data set drops out by itself.
    QPointer<TDataSet> FDataset;
    QString FCaption;
};

class TKVXDatasets : public TCollection {
    Q_OBJECT
public:
    explicit TKVXDatasets(TKVXDataManager* manager);

    TKVXDataset* Add();
    // Raises EListError out of range, as every collection.
    TKVXDataset* Items(int index) const;
    // Assigns into the existing item.
    void SetItems(int index, const TKVXDataset* value);
    // The first item whose data set is dataSet, or nullptr.
    TKVXDataset* ItemByDataset(const TDataSet* dataSet) const;
    // The persistence owner.
    TKVXDataManager* DataManager() const { return FKVXDManager; }

private:
    TKVXDataManager* FKVXDManager;
};

// (Sender, var SQL): the designer's data set editor passes its SQL text and
// takes back the changed text.
using TKVXDQueryBuilder = std::function<void(QObject* sender, QString& sql)>;

class TKVXDataManager : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The list of data sets a report's expressions read: a plain field name is a field of the "
                       "first, 'Caption.Field' one of the data set with that caption or name.")
    Q_PROPERTY(vorel::TKVXDatasets* Datasets READ Datasets WRITE SetDatasets)
    Q_CLASSINFO("Doc.Datasets", "The data sets with their captions, in order.")
public:
    Q_INVOKABLE explicit TKVXDataManager(QObject* owner = nullptr);
    ~TKVXDataManager() override;

    TKVXDatasets* Datasets() const { return FDatasets; }
    // Assigns the content; the manager keeps its own collection.
    void SetDatasets(const TKVXDatasets* datasets);

    // Rebuilds the list: the main data set first (when given), then the data
    // sets directly owned by `owner` in their order; the components owned by
    // the main data set are walked in its place, so data sets it owns follow
    // it. Components that are not data sets are not descended into.
    void FillDatasetList(TComponent* owner, TDataSet* mainDataSet);

    TKVXDQueryBuilder OnQueryBuilder;

private:
    TKVXDatasets* FDatasets;
};

// The field a name denotes (see the top of this file), or nullptr: no
// manager, an empty manager, an unknown qualifier or an unknown field.
TField* GetFieldByName(const TKVXDataManager* manager, const QString& name);
// The data set of the first item whose caption or data set name equals the
// qualifier (case-insensitive in the user's locale), or nullptr.
TDataSet* FindDatasetByQualifier(const TKVXDataManager* manager, const QString& qualifier);

// The process-wide default manager that reports without their own use.
// Created on first use (or by library start-up); freed by library shut-down.
TKVXDataManager* DefaultDataManager();
void FreeDefaultDataManager();

// The application object: the component that owns forms and modules at run
// time. Created on first use; freed by library shut-down.
TComponent* Application();
void FreeApplication();

// Registers the data set and data manager classes for streaming. Called once
// by library start-up.
void RegisterDataClasses();

} // namespace vorel
