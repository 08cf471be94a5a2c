#pragma once
// A page: an Enhanced Metafile held as its bytes, with the page size in
// report pixels. The bytes are the published EMF format exactly, so saving
// writes a file other EMF readers open.

#include "foundation/values/limits.h"
#include "graphics/emf_format.h"
#include "graphics/picture.h"

#include <QPainter>

namespace vorel {

class TMetafile : public TGraphic {
public:
    TMetafile() = default;
    TMetafile(const TMetafile&) = default;
    TMetafile& operator=(const TMetafile&) = default;

    QString ClassName() const override { return QStringLiteral("TMetafile"); }
    bool Empty() const override { return FBytes.isEmpty(); }
    // The page size in report pixels (1/96 inch). Setting it before
    // recording sizes the recorded frame; setting it afterwards changes
    // the size the page is drawn at, not its records.
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int pixels) { FWidth = std::max(0, pixels); }
    void SetHeight(int pixels) { FHeight = std::max(0, pixels); }
    // Enhanced (EMF) or not (saved as a Windows metafile, WMF).
    bool Enhanced() const { return FEnhanced; }
    void SetEnhanced(bool value) { FEnhanced = value; }

    void Draw(TCanvas& canvas, const TRect& r) const override;
    // Validates the whole EMF first (EInvalidGraphic naming source and byte
    // offset); only then replaces content, header and size.
    void LoadFromBytes(const QByteArray& bytes, const QString& source) override;
    // The EMF bytes; a metafile marked not Enhanced saves as a placeable
    // Windows metafile (WMF) converted from them.
    QByteArray SaveToBytes() const override;
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TMetafile>(*this); }
    QImage ToImage() const override;

    // Reads one metafile from a stream that may hold more after it (as
    // prepared-report streams do): exactly the bytes its header states.
    // Reads in bounded steps, so a header that lies about its size fails
    // at the end of the stream instead of allocating what it claims.
    void ReadFromStream(QIODevice& stream, const QString& source);

    const QByteArray& Bytes() const { return FBytes; }
    const TEmfHeader& Header() const { return FHeader; }
    void Clear();

    // Plays the metafile onto a painter, its page mapped onto dest (in the
    // painter's current coordinates).
    void Play(QPainter& painter, const QRectF& dest) const;

    // Called by the recording canvas when it closes.
    void SetRecorded(QByteArray bytes);

private:
    QByteArray FBytes;
    TEmfHeader FHeader;
    int FWidth = 0;
    int FHeight = 0;
    bool FEnhanced = true;
};

// Largest metafile Vorel reads (a page of a report is far below this).
constexpr qint64 kMaxMetafileBytes = limits::kMetafileBytes;

} // namespace vorel
