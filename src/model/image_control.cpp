// The image control: loading from a file or a field for each print, and
// the sizing rules.

#include "model/image_control.h"

#include "data/dataset.h"
#include "foundation/language/language.h"
#include "foundation/values/text_utils.h"

#include <QFileInfo>
#include <cmath>

namespace vorel {

TKVXImage::TKVXImage(QObject* owner) : TKVXControl(owner), FPicture(new TPicture(this))
{
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_IMAGE));
}

TKVXImage::~TKVXImage() = default;

void TKVXImage::SetImageKind(TKVXImageKind value)
{
    FImageKind = value;
    Invalidate();
}

void TKVXImage::SetFileName(const QString& value)
{
    FFileName = value;
    Invalidate();
}

void TKVXImage::SetExpression(const QString& value)
{
    FExpression = value;
    Invalidate();
}

void TKVXImage::SetPicture(const TPicture* value)
{
    if (value && value != FPicture)
        FPicture->Assign(value);
    Invalidate();
}

void TKVXImage::SetStretch(bool value)
{
    FStretch = value;
    Invalidate();
}

void TKVXImage::SetCenter(bool value)
{
    FCenter = value;
    Invalidate();
}

void TKVXImage::SetAspectRatio(bool value)
{
    FAspectRatio = value;
    Invalidate();
}

bool TKVXImage::IsPropertyStored(const char* name) const
{
    if (qstrcmp(name, "Picture") == 0)
        return FImageKind == ikPicture;
    return TKVXControl::IsPropertyStored(name);
}

TRect TKVXImage::TargetRect(const TRect& rect, int pw, int ph, bool fileNameSet, bool stretch, bool center,
                            bool aspectRatio)
{
    const int rw = rect.Width();
    const int rh = rect.Height();
    int w = rw;
    int h = rh;
    if (fileNameSet && !stretch && (!aspectRatio || (rw >= pw && ph <= rh))) {
        w = pw;
        h = ph;
    } else if (aspectRatio && pw > 0 && ph > 0) {
        const double q = double(pw) / double(ph);
        if (ph < pw) {
            w = rw;
            h = int(std::trunc(rw / q));
            if (h > rh) {
                h = rh;
                w = int(std::trunc(rh * q));
            }
        } else {
            h = rh;
            w = int(std::trunc(rh * q));
            if (w > rw) {
                w = rw;
                h = int(std::trunc(rw / q));
            }
        }
    }
    int x = rect.Left;
    int y = rect.Top;
    if (center) {
        x += (rw - w) / 2;
        y += (rh - h) / 2;
    }
    return Bounds(x, y, w, h);
}

void TKVXImage::LoadFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        return; // a missing file draws nothing
    if (FCachedPicture && FCachedFile == info.absoluteFilePath() && FCachedModified == info.lastModified()
        && FCachedSize == info.size()) {
        FPicture->Assign(FCachedPicture.get());
        return;
    }
    try {
        FPicture->LoadFromFile(fileName);
    } catch (const EKVXError&) {
        FPicture->Clear(); // not a picture: nothing is drawn, nothing is reported
        return;
    }
    if (!FCachedPicture)
        FCachedPicture = std::make_unique<TPicture>();
    FCachedPicture->Assign(FPicture);
    FCachedFile = info.absoluteFilePath();
    FCachedModified = info.lastModified();
    FCachedSize = info.size();
}

void TKVXImage::LoadForPrint()
{
    FPicture->Clear();
    QString fileName;
    if (!FExpression.isEmpty()) {
        // Errors finding or reading the field are ignored: the image stays empty.
        try {
            if (TDataSet* dataSet = GetDatasetByName(FExpression)) {
                if (const TField* field = dataSet->FindField(GetFieldName(FExpression))) {
                    if (field->IsBlob())
                        FPicture->LoadFromBlob(field->AsBytes());
                    else
                        fileName = field->Text();
                }
            }
        } catch (const std::exception&) {
            FPicture->Clear();
        }
    } else {
        fileName = FFileName;
    }
    if (!fileName.isEmpty())
        LoadFile(fileName);
}

int TKVXImage::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    const int height = TKVXControl::Draw(canvas, rect, tallestSoFar, flags);
    if (flags & DT_CALCRECT)
        return height;
    const bool generating = IsGenerating();
    if (!generating) {
        // The designer's dashed outline.
        const TPenStyle oldStyle = canvas.Pen()->Style();
        const int oldWidth = canvas.Pen()->Width();
        canvas.Pen()->SetStyle(psDash);
        canvas.Pen()->SetWidth(1);
        canvas.Brush()->SetStyle(bsClear);
        canvas.Rectangle(rect);
        canvas.Pen()->SetStyle(oldStyle);
        canvas.Pen()->SetWidth(oldWidth);
    }
    if (FImageKind != ikPicture) {
        if (FFileName.isEmpty() && !generating) {
            FPicture->Clear();
            DrawWrapText(canvas, DisplayName(), 0, flags | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX, rect);
        } else {
            LoadForPrint();
        }
    }
    if (FPicture->Empty())
        return height;
    // A picture larger than the rectangle at its natural size is not clipped.
    const TRect target = TargetRect(rect, FPicture->Width(), FPicture->Height(), !FFileName.isEmpty(), FStretch,
                                    FCenter, FAspectRatio);
    canvas.StretchDraw(target, *FPicture->Graphic());
    return height;
}

} // namespace vorel
