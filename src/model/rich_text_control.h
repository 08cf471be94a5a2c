#pragma once
// TKVRichText: formatted text (RTF, HTML or plain text) from a file or a
// data field, laid out into the control's rectangle by the rich text layout
// and, with Stretch, reporting the height of the laid-out text.

#include "model/control.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QTextDocument;

namespace vorel {

class TRichTextLayout;

constexpr int KVX_TEXT_RICHTEXT = 1021; // "RichText"

class TKVRichText : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Formatted text (RTF, HTML or plain text) from a file or a data field, laid out in the "
                       "control's rectangle.")
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_CLASSINFO("Doc.FileName", "The rich text file, read at each print.")
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("Doc.Stretch", "In a stretching band, the control takes the height of its laid-out text instead of "
                               "its design height.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "Without a FileName: the field, as 'DataSet.Field', whose content prints.")
public:
    Q_INVOKABLE explicit TKVRichText(QObject* owner = nullptr);
    ~TKVRichText() override;

    // A rich text file loaded at each print.
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& value);
    // Report the height of the formatted text instead of the design height.
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    // Without a FileName: "DataSet.Field", the field whose content is printed.
    QString Expression() const { return FExpression; }
    void SetExpression(const QString& value);

    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override;

    // The document the last Draw laid out; none before the first (the
    // document is made when first needed, so that a control can be created
    // and streamed where no fonts are available).
    const QTextDocument* Document() const { return FDocument.get(); }

private:
    // Loads the content for this print into the document; a missing or
    // unreadable file (or one that holds no text) leaves it empty, a field
    // that cannot be found or read leaves the previous content.
    void LoadContent(const QString& defaultsKey);
    void SetContent(const QString& key, const QByteArray* bytes, const QString* text, const QString& defaultsKey);

    QString FFileName;
    bool FStretch = true;
    QString FExpression;

    std::unique_ptr<QTextDocument> FDocument;
    // The content's source and the defaults it was read with: the same file
    // (by path, time and size) or the same field content is not read again,
    // and a layout made while measuring serves the painting that follows.
    QString FContentKey;
    QByteArray FContentBytes;
    QString FContentText;
    QString FDefaultsKey;
    std::unique_ptr<TRichTextLayout> FLayout;
    int FLayoutPixelsPerInch = 0;
};

} // namespace vorel
