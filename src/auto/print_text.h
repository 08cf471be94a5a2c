#pragma once
// TKVPrintText: a text file printed line by line. Lines wider than the
// page continue on further bars (pages to the right), or wrap at blanks
// with WordWrap.

#include "auto/auto_print.h"

namespace vorel {

class TKVXPrintTextEnums {
    Q_GADGET
public:
    enum TCodePage { cpANSI, cpASCII };
    Q_ENUM(TCodePage)
    Q_CLASSINFO("Doc.cpANSI", "The file is UTF-8, or else in the report language's Windows code page.")
    Q_CLASSINFO("Doc.cpASCII", "The file is in the DOS (OEM) code page of the report language: 437, 866 or 852.")
};
using TCodePage = TKVXPrintTextEnums::TCodePage;
using enum TKVXPrintTextEnums::TCodePage;

class TKVPrintText : public TKVAutoPrint {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A text file printed line by line under the header and above the footer.")
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_CLASSINFO("Doc.FileName", "The text file to print.")
    Q_PROPERTY(vorel::TKVXPrintTextEnums::TCodePage CodePage READ CodePage WRITE SetCodePage)
    Q_CLASSINFO("Doc.CodePage", "The character set the file is written in.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font of the text.")
public:
    Q_INVOKABLE explicit TKVPrintText(QObject* owner = nullptr) : TKVAutoPrint(owner) {}

    QString FileName() const { return FFileName; }
    void SetFileName(const QString& v) { FFileName = v; }
    TCodePage CodePage() const { return FCodePage; }
    void SetCodePage(TCodePage v) { FCodePage = v; }

    // Asked for a file when FileName is empty (an open dialog); false
    // cancels. Without it an empty FileName is an error.
    std::function<bool(QString& fileName)> OnSelectFile;

    void PrepareReport() override;
    void NewPage(bool newBar) override;
    // The file's text, decoded as CodePage says.
    QString ReadText() const;

private:
    void PrintLine(const QString& text);

    int FLinesOnPage = 0;
    QString FFileName;
    TCodePage FCodePage = cpANSI;
};

} // namespace vorel
