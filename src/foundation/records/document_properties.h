#pragma once
// Document properties of a print component: the default title of its
// progress dialog and preview, the system data items Author, ReportTitle,
// Subject and Keywords, and the document information exports write.

#include "foundation/components/component.h"

namespace vorel {

class TKVProperty : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The document properties of a report: the system variables Author, ReportTitle, Subject and "
                       "Keywords, the title of the progress display and preview, and the PDF document information.")
    Q_PROPERTY(QString Author READ Author WRITE SetAuthor)
    Q_CLASSINFO("Doc.Author", "The author: the Author system variable and the PDF document information.")
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_CLASSINFO("Doc.Title", "The title: the ReportTitle system variable, the title of the progress display and "
                             "preview, and the PDF document title.")
    Q_PROPERTY(QString Subject READ Subject WRITE SetSubject)
    Q_CLASSINFO("Doc.Subject", "The subject: the Subject system variable and the PDF document information.")
    Q_PROPERTY(QString Keywords READ Keywords WRITE SetKeywords)
    Q_CLASSINFO("Doc.Keywords", "The keywords: the Keywords system variable and the PDF document information.")
    Q_PROPERTY(vorel::TStringList* Comments READ Comments WRITE SetComments)
    Q_CLASSINFO("Doc.Comments", "Free notes about the document, kept in the form; never printed.")
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
