#include "export/emf_text_record.h"

#include "foundation/locale/code_page.h"
#include "graphics/canvas.h"

namespace vorel {

namespace {

QString ReadChars(const ByteView& r, std::size_t offset, std::uint32_t count, bool wide, int codePage)
{
    if (wide) {
        QString text(qsizetype(count), Qt::Uninitialized);
        QChar* p = text.data();
        for (std::uint32_t i = 0; i < count; ++i)
            p[i] = QChar(char16_t(r.u16le(offset + 2 * std::size_t(i))));
        return text;
    }
    return DecodeCodePage(QByteArrayView(r.Data() + offset, qsizetype(count)), codePage);
}

} // namespace

bool DecodeTextRecord(const TEmfRecord& record, int codePage, TEmfTextRun& run)
{
    const ByteView& r = record.Bytes;
    switch (record.Type) {
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: {
        // bounds (8), graphics mode and scales (24..35), then the text
        // record: reference (36), count (44), string offset (48), options (52).
        if (!r.Fits(0, 76))
            return false;
        const bool wide = record.Type == EMR_EXTTEXTOUTW;
        const std::uint32_t count = r.u32le(44);
        const std::uint32_t offString = r.u32le(48);
        const unsigned options = r.u32le(52);
        if (options & ETO_GLYPH_INDEX)
            return false;
        if (!r.Fits(offString, std::uint64_t(count) * (wide ? 2 : 1)))
            return false;
        run.Text = ReadChars(r, offString, count, wide, codePage);
        const int left = r.i32le(8), top = r.i32le(12), right = r.i32le(16), bottom = r.i32le(20);
        if (right < left || bottom < top) {
            // No bounds stated (some writers leave them empty): the
            // reference point stands in, as for the small record.
            const int x = r.i32le(36), y = r.i32le(40);
            run.Box = {x, y, x, y};
        } else {
            run.Box = {left - 1, top - 1, right + 1, bottom + 1};
        }
        run.Reference = {r.i32le(36), r.i32le(40)};
        run.Options = options;
        run.Clip = {r.i32le(56), r.i32le(60), r.i32le(64), r.i32le(68)};
        if (run.Clip.IsEmpty())
            run.Clip = {};
        return true;
    }
    case EMR_SMALLTEXTOUT: {
        // reference (8), count (16), options (20), graphics mode and scales
        // (24..35), then an optional clipping rectangle and the characters.
        if (!r.Fits(0, 36))
            return false;
        const std::uint32_t count = r.u32le(16);
        const unsigned options = r.u32le(20);
        if (options & ETO_GLYPH_INDEX)
            return false;
        const std::size_t start = (options & ETO_NO_RECT) ? 36 : 52;
        const bool wide = !(options & ETO_SMALL_CHARS);
        if (!r.Fits(start, std::uint64_t(count) * (wide ? 2 : 1)))
            return false;
        run.Text = ReadChars(r, start, count, wide, codePage);
        const int x = r.i32le(8), y = r.i32le(12);
        run.Box = {x, y, x, y};
        run.Reference = {x, y};
        run.Options = options;
        run.Clip = {};
        if (!(options & ETO_NO_RECT) && r.Fits(36, 16))
            run.Clip = {r.i32le(36), r.i32le(40), r.i32le(44), r.i32le(48)};
        if (run.Clip.IsEmpty())
            run.Clip = {};
        return true;
    }
    default: return false;
    }
}

} // namespace vorel
