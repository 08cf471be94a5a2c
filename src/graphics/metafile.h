#pragma once
// A page: an Enhanced Metafile held as its bytes, with the page size in
// report pixels. The bytes are the published EMF format exactly, so saving
// writes a file other EMF readers open.

#include "foundation/values/limits.h"
#include "graphics/emf_format.h"
#include "graphics/picture.h"

#include <QPainter>

namespace vorel {

class TMetafile;

// Keeps the bytes of metafiles elsewhere while they are not in use (the
// page store of a long report spills them to a file). A metafile attached
// to a backing reports every change of its content and every read of its
// bytes; the backing may drop the bytes of metafiles it holds a copy of
// (TMetafile::DropBytes) and puts them back on the next read
// (TMetafile::RestoreBytes). Not thread-safe: one thread reads the
// metafiles of one backing, as one thread owns a page list.
class TMetafileBacking {
public:
    virtual ~TMetafileBacking() = default;
    // The content changed (recorded, loaded, cleared): any copy is void.
    virtual void Changed(TMetafile& metafile, int key) = 0;
    // The bytes are about to be read: restore them if they were dropped.
    virtual void Touched(TMetafile& metafile, int key) = 0;
    // The metafile goes away; the backing forgets it.
    virtual void Detached(int key) = 0;
};

class TMetafile : public TGraphic {
public:
    TMetafile() = default;
    // A copy holds its own bytes in memory (read back when the source's
    // were dropped) and belongs to no backing.
    TMetafile(const TMetafile& other);
    TMetafile& operator=(const TMetafile& other);
    ~TMetafile() override;

    QString ClassName() const override { return QStringLiteral("TMetafile"); }
    bool Empty() const override { return FBytes.isEmpty() && !FDropped; }
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

    // Reads the bytes back first when a backing dropped them. The reference
    // holds until the next metafile of the same backing is read: keep a
    // copy (QByteArray shares, it does not copy) to hold them longer.
    const QByteArray& Bytes() const
    {
        if (FBacking)
            FBacking->Touched(*const_cast<TMetafile*>(this), FBackingKey);
        return FBytes;
    }
    const TEmfHeader& Header() const { return FHeader; }
    void Clear();

    // Plays the metafile onto a painter, its page mapped onto dest (in the
    // painter's current coordinates).
    void Play(QPainter& painter, const QRectF& dest) const;

    // Called by the recording canvas when it closes.
    void SetRecorded(QByteArray bytes);

    // --- for a backing ---
    // Reports changes and reads to backing under key from now on (nullptr:
    // to none).
    void Attach(TMetafileBacking* backing, int key);
    TMetafileBacking* Backing() const { return FBacking; }
    // Whether the bytes are in memory (true for an empty metafile).
    bool Resident() const { return !FDropped; }
    // The size of the bytes, in memory or not.
    qint64 ByteSize() const { return FDropped ? FDroppedSize : FBytes.size(); }
    // Lets go of the bytes (the backing keeps a copy); header and size stay.
    void DropBytes();
    // Puts back the bytes DropBytes let go of.
    void RestoreBytes(QByteArray bytes);

private:
    void NotifyChanged();

    QByteArray FBytes;
    TMetafileBacking* FBacking = nullptr;
    int FBackingKey = -1;
    bool FDropped = false;
    qint64 FDroppedSize = 0;
    TEmfHeader FHeader;
    int FWidth = 0;
    int FHeight = 0;
    bool FEnhanced = true;
};

// Largest metafile Vorel reads (a page of a report is far below this).
constexpr qint64 kMaxMetafileBytes = limits::kMetafileBytes;

} // namespace vorel
