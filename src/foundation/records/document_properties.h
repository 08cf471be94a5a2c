#pragma once
// Document properties of a print component: the default title of its
// progress dialog and preview, the system data items Author, ReportTitle,
// Subject and Keywords, and the document information exports write.

#include "foundation/components/component.h"

namespace vorel {

class TKVProperty : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Author READ Author WRITE SetAuthor)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Subject READ Subject WRITE SetSubject)
    Q_PROPERTY(QString Keywords READ Keywords WRITE SetKeywords)
    Q_PROPERTY(vorel::TStringList* Comments READ Comments WRITE SetComments)
public:
    Q_INVOKABLE explicit TKVProperty(QObject* owner = nullptr);

    QString Author() const { return FAuthor; }
    void SetAuthor(const QString& value) { FAuthor = value; }
    QString Title() const { return FTitle; }
    void SetTitle(const QString& value) { FTitle = value; }
    QString Subject() const { return FSubject; }
    void SetSubject(const QString& value) { FSubject = value; }
    QString Keywords() const { return FKeywords; }
    void SetKeywords(const QString& value) { FKeywords = value; }
    TStringList* Comments() const { return FComments; }
    void SetComments(const TStringList* value); // copies

    bool IsEmpty() const;
    void Assign(const TPersistent* source) override;

private:
    QString FAuthor;
    QString FTitle;
    QString FSubject;
    QString FKeywords;
    TStringList* FComments; // owned (child)
};

} // namespace vorel
