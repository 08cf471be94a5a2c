#pragma once
// TKVXImage: a picture from a file, from a data field (a blob holding the
// picture or a text holding its file name) or stored in the report, drawn
// at its natural size or scaled (proportionally with AspectRatio) and
// optionally centred. It reports its design height.

#include "graphics/picture.h"
#include "model/control.h"

#include <QDateTime>
#include <memory>

namespace vorel {

class TKVXImageEnums {
    Q_GADGET
public:
    // ikPicture draws the stored Picture; the other two load it at each print.
    enum TKVXImageKind { ikFile, ikField, ikPicture };
    Q_ENUM(TKVXImageKind)
    Q_CLASSINFO("Doc.ikFile", "Loaded from FileName at each print.")
    Q_CLASSINFO("Doc.ikField", "Loaded at each print from the field named in Expression: a picture, or a text "
                               "holding a picture file's name.")
    Q_CLASSINFO("Doc.ikPicture", "The Picture stored in the form.")
};
using TKVXImageKind = TKVXImageEnums::TKVXImageKind;
using enum TKVXImageEnums::TKVXImageKind;

constexpr int KVX_TEXT_IMAGE = 1016; // "Image"

class TKVXImage : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A picture from a file, a data field or the form itself, drawn at its natural size or scaled "
                       "into the control.")
    // Written to forms even at their defaults.
    Q_CLASSINFO("AlwaysStored", "Stretch,Center,AspectRatio")
    Q_PROPERTY(vorel::TKVXImageEnums::TKVXImageKind ImageKind READ ImageKind WRITE SetImageKind)
    Q_CLASSINFO("Doc.ImageKind", "Where the picture comes from.")
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_CLASSINFO("Doc.FileName", "With ImageKind ikFile: the picture file.")
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_CLASSINFO("Doc.Expression", "With ImageKind ikField: the field, as 'DataSet.Field', holding the picture or its "
                                  "file name.")
    Q_PROPERTY(vorel::TPicture* Picture READ Picture WRITE SetPicture)
    Q_CLASSINFO("Doc.Picture", "With ImageKind ikPicture: the picture stored in the form.")
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("Doc.Stretch", "Scales the picture to the control; without it a picture from a file prints at its "
                               "natural size (others are always scaled).")
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_CLASSINFO("Doc.Center", "Centres the picture in the control.")
    Q_PROPERTY(bool AspectRatio READ AspectRatio WRITE SetAspectRatio)
    Q_CLASSINFO("Doc.AspectRatio", "Keeps the picture's proportions when it is scaled; a file's picture that fits "
                                   "prints at its natural size.")
public:
    Q_INVOKABLE explicit TKVXImage(QObject* owner = nullptr);
    ~TKVXImage() override;

    TKVXImageKind ImageKind() const { return FImageKind; }
    void SetImageKind(TKVXImageKind value);
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& value);
    // "DataSet.Field": a field holding the picture or a picture file name.
    QString Expression() const { return FExpression; }
    void SetExpression(const QString& value);
    TPicture* Picture() const { return FPicture; }
    void SetPicture(const TPicture* value); // copies
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool AspectRatio() const { return FAspectRatio; }
    void SetAspectRatio(bool value);

    // Only a stored picture (ikPicture) goes into a form: the other kinds
    // reload theirs at every print.
    bool IsPropertyStored(const char* name) const override;

    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override;

    // Where a picture of pw x ph pixels is drawn in rect (report pixels):
    // natural size when a file name is set, Stretch is off and either
    // AspectRatio is off or the picture fits; else scaled, proportionally
    // with AspectRatio; moved to the centre with Center.
    static TRect TargetRect(const TRect& rect, int pictureWidth, int pictureHeight, bool fileNameSet, bool stretch,
                            bool center, bool aspectRatio);

private:
    // Loads the picture for a print; every failure leaves it empty.
    void LoadForPrint();
    void LoadFile(const QString& fileName);

    TKVXImageKind FImageKind = ikFile;
    QString FFileName;
    QString FExpression;
    TPicture* FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FAspectRatio = false;
    // The last file loaded, so that a page header's logo is decoded once,
    // not once per page (the file is read again when it changes).
    QString FCachedFile;
    QDateTime FCachedModified;
    qint64 FCachedSize = -1;
    std::unique_ptr<TPicture> FCachedPicture;
};

} // namespace vorel
