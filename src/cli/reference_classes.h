#pragma once
// The classes part of `vorel reference`: which classes a report author or an
// application meets, a freshly made object of each to read defaults from,
// and their Markdown (class sections and the enumerations their properties
// use). reference_command.cpp adds the library's tables around it.

#include <QHash>
#include <QList>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QMetaObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <vector>

class QObject;

namespace vorel::cli {

class ReferenceClasses {
public:
    // Walks from every class in the class registry (and the data set's
    // fields, which no form names but every expression reads): their base
    // classes that publish properties, and the classes of the objects and
    // collection items their properties hold.
    ReferenceClasses();
    ~ReferenceClasses();

    // "## Classes" and "## Enumerations" (every enumeration a property uses;
    // those named in `explainedElsewhere` point to the section given).
    void WriteClasses(QTextStream& out);
    void WriteEnumerations(QTextStream& out, const QHash<QString, QString>& explainedElsewhere);

    // What lacks an explanation ("TKVXBand.Stretch", "TBandType.btDetail").
    const QStringList& Missing() const { return FMissing; }

private:
    struct Entry {
        const QMetaObject* Meta = nullptr;
        const QObject* Instance = nullptr; // nullptr: no object can be made
        QString Group;
        QString SortKey;
        QSet<QString> HeldBy; // "TKVReport.Font"
    };

    void Add(const QMetaObject* meta, const QObject* found);
    void Walk(qsizetype index);
    const QObject* InstanceOf(const QMetaObject* meta);
    const Entry* Find(const QMetaObject* meta) const;
    QString Link(const QMetaObject* meta) const;
    QString TypeText(const QMetaProperty& property, const QString& holder) const;
    QString DefaultText(const QMetaObject* meta, const QObject* instance, const QMetaProperty& property,
                        int depth = 0) const;
    QString NestedDifferences(const QObject* object, int depth) const;
    void WriteClass(QTextStream& out, const Entry& entry);

    std::vector<std::unique_ptr<QObject>> FOwned; // the objects made for their defaults
    QHash<const QMetaObject*, const QObject*> FInstances;
    QList<Entry> FEntries;
    QList<const QMetaObject*> FQueue;
    // The enumerations properties use, by name, with the properties using them.
    QHash<QString, QMetaEnum> FEnums;
    QHash<QString, QSet<QString>> FEnumUsers;
    QStringList FMissing;
};

} // namespace vorel::cli
