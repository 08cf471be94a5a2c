#pragma once
// Undo and redo of every edit in the designer.
//
// An edit is a transaction: Begin() records the state of the whole report
// (the order of its bands and of each band's controls, and every stored
// property of the report, its bands and controls, nested objects and
// collections included), the edit changes the objects in place by any path
// (mouse, keyboard, alignment, inspector, dialogs), and Commit() records the
// state again and pushes one command holding only what differs. So no edit
// needs an undo of its own, and an undo puts back exactly what was there.
//
// Objects are named in commands by a designer id (a dynamic property), not
// by pointer: a deleted control or band is kept as its form and recreated
// with the same id by an undo, so later commands find it again.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <QSet>

class QUndoStack;

namespace vorel {

class TKVReport;
class TKVXBand;
class TKVXControl;

// A reference to a component the history knows by its designer id (a
// data set the report owns): kept by id, not by pointer, because an undo
// may free that component and make it again at another address.
struct TDesignRef {
    quint64 Id = 0;
    friend bool operator==(const TDesignRef&, const TDesignRef&) = default;
};

// Every stored property of an object as a flat map: "Left", "Font.Name",
// collections as lists of item maps, string lists as QStringList,
// references to components as the pointer (as a TDesignRef when the
// component has a designer id).
QVariantMap CaptureProperties(const QObject* object);
// Writes the values (keys as CaptureProperties makes them) back; a
// TDesignRef is turned into its component by `resolve` (none without it).
void RestoreProperties(QObject* object, const QVariantMap& values,
                       const std::function<QObject*(quint64 id)>& resolve = {});

class TDesignHistory {
public:
    struct Structure {
        QList<quint64> Bands;
        QHash<quint64, QList<quint64>> Controls; // per band id, in Objects order
        // The components the report owns besides its bands (data sets, a
        // data manager), in the order the form stores them.
        QList<quint64> Components;
        bool Recorded = false; // false: the edit left the layout alone
    };
    struct StoredForm {
        QString ClassName;
        QByteArray Bytes;         // binary component stream
        QList<quint64> ChildIds;  // a band's controls, in the form's order
    };
    struct State {
        Structure Layout;
        QHash<quint64, QVariantMap> Values;
    };

    explicit TDesignHistory(TKVReport* report);
    ~TDesignHistory();

    QUndoStack* Stack() const { return FStack.get(); }
    TKVReport* Report() const;

    // The id of an object (given on first use) and the object of an id.
    quint64 IdOf(QObject* object);
    QObject* Find(quint64 id) const;

    // Starts an edit; a Begin inside an open edit joins it. The report, its
    // bands and their order are always recorded; the controls' properties
    // are recorded for every control, or, when the edit names the controls
    // it may change (`controls`), for those alone: a move of one control in
    // a report of 1,000 then records one control, not 1,000.
    void Begin(const QString& text);
    void Begin(const QString& text, const QList<TKVXControl*>& controls);
    // Keeps a control or band (and its controls) that the edit is about to
    // free, so that an undo can recreate it.
    void NoteDeleting(QObject* object);
    // Ends the edit opened by the matching Begin: the outermost pushes one
    // command when anything changed. Returns whether one was pushed.
    bool Commit();
    bool InEdit() const { return FDepth > 0; }
    // Forgets the history (a new or opened report).
    void Clear();

    // Called after an undo or redo changed the report (the window rebuilds
    // its bands and refreshes the inspector).
    std::function<void()> OnRestored;
    // Called after an edit pushed its command (the explorer follows moves
    // between bands).
    std::function<void()> OnCommitted;

    // The controls the last undo or redo made again (from their forms).
    QList<TKVXControl*> Recreated() const;

    // Used by the commands.
    State Capture(const QSet<quint64>* controls = nullptr);
    void Apply(const Structure& layout, const QHash<quint64, QVariantMap>& values,
               const QHash<quint64, StoredForm>& forms);

private:
    StoredForm FormOf(QObject* object);
    TKVXBand* RecreateBand(quint64 id, const StoredForm& form);
    TKVXControl* RecreateControl(quint64 id, const StoredForm& form, TKVXBand* band);
    QObject* RecreateComponent(quint64 id, const StoredForm& form);
    void ApplyComponents(const QList<quint64>& ids, const QHash<quint64, StoredForm>& forms);
    void SetId(QObject* object, quint64 id);

    QPointer<TKVReport> FReport;
    std::unique_ptr<QUndoStack> FStack;
    QHash<quint64, QPointer<QObject>> FObjects;
    quint64 FNextId = 1;
    int FDepth = 0;
    QString FText;
    std::unique_ptr<State> FBefore;
    std::optional<QSet<quint64>> FScope; // the controls recorded; none: all
    QHash<quint64, StoredForm> FDeleted;
    QList<QPointer<TKVXControl>> FRecreated;
};

// Begin on construction, Commit on destruction (also when an exception
// leaves the edit: what was changed until then is kept undoable).
class TEditScope {
public:
    TEditScope(TDesignHistory* history, const QString& text) : FHistory(history)
    {
        if (FHistory)
            FHistory->Begin(text);
    }
    TEditScope(TDesignHistory* history, const QString& text, const QList<TKVXControl*>& controls)
        : FHistory(history)
    {
        if (FHistory)
            FHistory->Begin(text, controls);
    }
    ~TEditScope()
    {
        if (FHistory)
            FHistory->Commit();
    }
    TEditScope(const TEditScope&) = delete;
    TEditScope& operator=(const TEditScope&) = delete;

private:
    TDesignHistory* FHistory;
};

// The components the report owns besides its bands, in form order.
QList<QObject*> OwnedComponents(const TKVReport* report);

} // namespace vorel

Q_DECLARE_METATYPE(vorel::TDesignRef)
