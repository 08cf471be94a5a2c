// The rich text control: content from a file or a field, laid out with the
// rich text layout into the inside of the control's frame.

#include "model/rich_text_control.h"

#include "data/dataset.h"
#include "foundation/language/language.h"
#include "foundation/values/text_utils.h"
#include "model/rich_text_layout.h"
#include "model/rtf_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace vorel {

TKVRichText::TKVRichText(QObject* owner) : TKVXControl(owner)
{
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_RICHTEXT));
}

TKVRichText::~TKVRichText() = default;

void TKVRichText::SetFileName(const QString& value)
{
    FFileName = value;
    Invalidate();
}

void TKVRichText::SetStretch(bool value)
{
    FStretch = value;
    Invalidate();
}

void TKVRichText::SetExpression(const QString& value)
{
    FExpression = value;
    Invalidate();
}

namespace {

// A file with NUL bytes that is neither RTF, HTML nor UTF-16 text is no text
// at all (a picture, an archive): printing its bytes as characters would
// fill the band with garbage.
bool HoldsText(const QByteArray& bytes)
{
    if (DetectRichTextKind(bytes) != TRichTextKind::PlainText)
        return true;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    return !bytes.contains('\0');
}

QString DefaultsKey(const TRichTextDefaults& d)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(d.FontName)
        .arg(d.PointSize)
        .arg(int(d.Style))
        .arg(int(d.Alignment))
        .arg(d.CodePage);
}

} // namespace

void TKVRichText::SetContent(const QString& key, const QByteArray* bytes, const QString* text,
                             const QString& defaultsKey)
{
    // The same source read with the same defaults gives the same document.
    if (key == FContentKey && defaultsKey == FDefaultsKey && (!bytes || *bytes == FContentBytes)
        && (!text || *text == FContentText))
        return;
    const TRichTextDefaults defaults = TRichTextDefaults::FromFont(*Font(), Alignment());
    auto document = std::make_unique<QTextDocument>();
    if (bytes)
        LoadRichText(*document, *bytes, defaults);
    else if (text)
        LoadRichText(*document, *text, defaults);
    FDocument = std::move(document);
    FContentKey = key;
    FContentBytes = bytes ? *bytes : QByteArray();
    FContentText = text ? *text : QString();
    FDefaultsKey = defaultsKey;
    FLayout.reset();
}

void TKVRichText::LoadContent(const QString& defaultsKey)
{
    if (!FFileName.isEmpty()) {
        const QFileInfo info(FFileName);
        const QString key = QStringLiteral("file|%1|%2|%3")
                                .arg(info.absoluteFilePath())
                                .arg(info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1)
                                .arg(info.exists() ? info.size() : -1);
        if (key == FContentKey && defaultsKey == FDefaultsKey)
            return;
        // A missing, unreadable or oversized file, or one that holds no
        // text, prints nothing and reports nothing.
        QByteArray bytes;
        QFile file(FFileName);
        if (info.isFile() && info.size() <= kMaxRichTextFileBytes && file.open(QIODevice::ReadOnly)) {
            bytes = file.read(kMaxRichTextFileBytes + 1);
            if (file.error() != QFileDevice::NoError || bytes.size() > kMaxRichTextFileBytes || !HoldsText(bytes))
                bytes.clear();
        }
        SetContent(key, &bytes, nullptr, defaultsKey);
        FContentBytes.clear(); // the key (path, time, size) identifies a file's content
        return;
    }
    // Errors while finding or reading the field are ignored: the previous
    // content stays.
    try {
        TDataSet* dataSet = GetDatasetByName(FExpression);
        const TField* field = dataSet ? dataSet->FindField(GetFieldName(FExpression)) : nullptr;
        if (!field)
            return;
        if (field->IsBlob()) {
            const QByteArray bytes = field->AsBytes();
            SetContent(QStringLiteral("blob"), &bytes, nullptr, defaultsKey);
        } else {
            const QString text = field->Text();
            SetContent(QStringLiteral("text"), nullptr, &text, defaultsKey);
        }
    } catch (const std::exception&) {
    }
}

int TKVRichText::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    int height = TKVXControl::Draw(canvas, rect, tallestSoFar, flags);
    const int frameWidth = FrameWidth();
    const bool measuring = flags & DT_CALCRECT;
    // Measure inside the frame as the painting does (the base Draw shrinks
    // the rectangle only when painting).
    const TRect inner = measuring ? rect.Inflated(-frameWidth, -frameWidth) : rect;
    if (FFileName.isEmpty() && !IsGenerating()) {
        DrawWrapText(canvas, DisplayName(), 0, flags, inner);
        return height;
    }
    const TRichTextDefaults defaults = TRichTextDefaults::FromFont(*Font(), Alignment());
    LoadContent(DefaultsKey(defaults));
    if (!FDocument)
        FDocument = std::make_unique<QTextDocument>(); // no content could be found yet
    const int pixelsPerInch = canvas.PixelsPerInchY();
    if (!FLayout || FLayoutPixelsPerInch != pixelsPerInch) {
        FLayout = std::make_unique<TRichTextLayout>(*FDocument, pixelsPerInch);
        FLayoutPixelsPerInch = pixelsPerInch;
    }
    // The classic control laid the text out in twips (x 1440 / pixels per
    // inch); at the 96 report pixels per inch of pages that is exact, so
    // the layout works in the canvas's logical units directly.
    const int bottom = FLayout->Render(canvas, inner, measuring);
    if (FStretch)
        height = bottom - inner.Top + 2 * frameWidth;
    return height;
}

} // namespace vorel
