#include "graphics/metafile.h"

#include "graphics/canvas.h"
#include "graphics/emf_player.h"
#include "graphics/wmf_writer.h"

#include <QPainter>

namespace vorel {

TMetafile::TMetafile(const TMetafile& other)
    : TGraphic(other), FBytes(other.Bytes()), FHeader(other.FHeader), FWidth(other.FWidth), FHeight(other.FHeight),
      FEnhanced(other.FEnhanced)
{
}

TMetafile& TMetafile::operator=(const TMetafile& other)
{
    if (this == &other)
        return *this;
    TGraphic::operator=(other);
    FBytes = other.Bytes();
    FDropped = false;
    FDroppedSize = 0;
    FHeader = other.FHeader;
    FWidth = other.FWidth;
    FHeight = other.FHeight;
    FEnhanced = other.FEnhanced;
    NotifyChanged();
    return *this;
}

TMetafile::~TMetafile()
{
    if (FBacking)
        FBacking->Detached(FBackingKey);
}

void TMetafile::Attach(TMetafileBacking* backing, int key)
{
    FBacking = backing;
    FBackingKey = backing ? key : -1;
}

void TMetafile::DropBytes()
{
    if (FDropped)
        return;
    FDroppedSize = FBytes.size();
    FBytes = QByteArray();
    FDropped = true;
}

void TMetafile::RestoreBytes(QByteArray bytes)
{
    FBytes = std::move(bytes);
    FDropped = false;
    FDroppedSize = 0;
}

void TMetafile::NotifyChanged()
{
    if (FBacking)
        FBacking->Changed(*this, FBackingKey);
}

void TMetafile::Draw(TCanvas& canvas, const TRect& r) const { canvas.PlayMetafile(r, *this); }

void TMetafile::LoadFromBytes(const QByteArray& bytes, const QString& source)
{
    const TEmfHeader header = ValidateEmf(ByteView(bytes), source);
    // Only what the header states belongs to the metafile.
    FBytes = bytes.size() == qsizetype(header.Bytes) ? bytes : bytes.left(qsizetype(header.Bytes));
    FDropped = false;
    FDroppedSize = 0;
    FHeader = header;
    const QRectF frame = FrameInDevicePixels(header);
    // Report pixels: reference-device pixels converted to 96 dpi.
    const qreal pxPerMmX = header.DeviceX > 0 && header.MillimetresX > 0 ? qreal(header.DeviceX) / header.MillimetresX : 96 / 25.4;
    const qreal pxPerMmY = header.DeviceY > 0 && header.MillimetresY > 0 ? qreal(header.DeviceY) / header.MillimetresY : 96 / 25.4;
    FWidth = std::max(0, int(std::lround(frame.width() * (96 / 25.4) / pxPerMmX)));
    FHeight = std::max(0, int(std::lround(frame.height() * (96 / 25.4) / pxPerMmY)));
    FEnhanced = true;
    NotifyChanged();
}

QByteArray TMetafile::SaveToBytes() const { return FEnhanced ? Bytes() : MetafileToWmf(*this); }

void TMetafile::SetRecorded(QByteArray bytes)
{
    const int width = FWidth, height = FHeight;
    // The backing hears of the new content once, with its final size.
    TMetafileBacking* backing = FBacking;
    FBacking = nullptr;
    try {
        LoadFromBytes(bytes, QStringLiteral("recorded page"));
    } catch (...) {
        FBacking = backing;
        throw;
    }
    FBacking = backing;
    if (width > 0 && height > 0) {
        FWidth = width;
        FHeight = height;
    }
    NotifyChanged();
}

void TMetafile::ReadFromStream(QIODevice& stream, const QString& source)
{
    const qint64 start = stream.pos();
    QByteArray head = stream.read(kEmfHeaderMinSize);
    if (head.size() < kEmfHeaderMinSize)
        RaiseInvalidImage(source, QStringLiteral("stream ends inside the metafile header"), start + head.size());
    const ByteView h(head);
    if (h.u32le(0) != EMR_HEADER || h.u32le(40) != kEmfSignature)
        RaiseInvalidImage(source, QStringLiteral("no enhanced metafile header"), start);
    const std::uint32_t total = h.u32le(48);
    if (total < std::uint32_t(kEmfHeaderMinSize) || qint64(total) > kMaxMetafileBytes)
        RaiseInvalidImage(source, QStringLiteral("metafile size %1 is impossible").arg(total), start + 48);
    if (!stream.isSequential() && stream.size() - start < qint64(total))
        RaiseInvalidImage(source,
            QStringLiteral("metafile states %1 bytes but the stream holds %2").arg(total).arg(stream.size() - start),
            start + 48);
    // Bounded steps: a sequential stream that ends early stops the read
    // before the claimed size was ever allocated.
    QByteArray bytes = head;
    constexpr qint64 kStep = 1 << 20;
    while (bytes.size() < qsizetype(total)) {
        const QByteArray part = stream.read(std::min<qint64>(kStep, qint64(total) - bytes.size()));
        if (part.isEmpty())
            RaiseInvalidImage(source, QStringLiteral("stream ends inside the metafile"), start + bytes.size());
        bytes.append(part);
    }
    LoadFromBytes(bytes, source);
}

void TMetafile::Clear()
{
    FBytes.clear();
    FDropped = false;
    FDroppedSize = 0;
    FHeader = TEmfHeader();
    NotifyChanged();
}

void TMetafile::Play(QPainter& painter, const QRectF& dest) const { PlayEmf(painter, *this, dest); }

QImage TMetafile::ToImage() const
{
    QImage image(std::max(1, FWidth), std::max(1, FHeight), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!Empty()) {
        QPainter painter(&image);
        Play(painter, QRectF(0, 0, image.width(), image.height()));
    }
    return image;
}

} // namespace vorel
