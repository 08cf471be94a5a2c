#include "model/rich_text_layout.h"

#include "model/rtf_reader.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <unordered_map>

namespace vorel {

namespace {

constexpr char16_t kLineBreak = 0x2028;
constexpr char16_t kObject = 0xFFFC;
// A font beyond this height (logical units) is damage, not text.
constexpr int kMaxFontHeight = 8192;
// Indents, spacing and picture sizes beyond this (logical units) are damage.
constexpr int kMaxLength = 1'000'000;

// The HTML font size steps of QTextCharFormat::FontSizeAdjustment (-2 .. +4),
// as Qt's own layout scales them.
qreal SizeAdjustmentFactor(int adjustment)
{
    static const qreal factors[7] = {0.7, 0.8, 1.0, 1.2, 1.5, 2.0, 2.4};
    return factors[std::clamp(adjustment + 2, 0, 6)];
}

QImage ImageFromResource(const QVariant& v)
{
    if (v.typeId() == QMetaType::QImage)
        return v.value<QImage>();
    if (v.typeId() == QMetaType::QPixmap)
        return v.value<QPixmap>().toImage();
    if (v.typeId() == QMetaType::QByteArray) {
        QByteArray bytes = v.toByteArray();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kRtfMaxPicturePixels)
            return {};
        return reader.read();
    }
    return {};
}

} // namespace

TRichTextLayout::TRichTextLayout(const QTextDocument& doc, int pixelsPerInch)
    : FPixelsPerInch(pixelsPerInch > 0 ? pixelsPerInch : kScreenPixelsPerInch)
{
    Read(doc);
}

int TRichTextLayout::StyleIndex(const StyleKey& key)
{
    auto it = FStyleIndex.find(key);
    if (it != FStyleIndex.end())
        return it->second;
    TRichTextStyle s;
    s.FontName = key.Name;
    s.FontHeight = key.Height;
    s.Style = TFontStyles::fromInt(key.Style);
    s.Charset = TFontCharset(key.Charset);
    s.HasColor = key.HasColor;
    s.Color = TColor(key.Color);
    s.HasBackground = key.HasBackground;
    s.Background = TColor(key.Background);
    TFontRequest request;
    request.Name = key.Name;
    request.Height = key.Height;
    request.Bold = s.Style.testFlag(fsBold);
    request.Italic = s.Style.testFlag(fsItalic);
    s.Face = TTextMeasurer::Face(request);
    FStyles.push_back(std::move(s));
    const int index = int(FStyles.size()) - 1;
    FStyleIndex.emplace(key, index);
    return index;
}

void TRichTextLayout::Read(const QTextDocument& doc)
{
    const qreal scale = FPixelsPerInch / qreal(kScreenPixelsPerInch);
    auto units = [scale](qreal reportPixels) {
        return int(std::clamp<qreal>(qRound(reportPixels * scale), -kMaxLength, kMaxLength));
    };
    const QFont defaultFont = doc.defaultFont();
    const qreal tab = doc.defaultTextOption().tabStopDistance();
    FDefaultTab = std::max(1, units(tab > 0 ? tab : 48));

    auto styleOf = [&](const QTextCharFormat& cf) {
        StyleKey key;
        const QStringList families = cf.property(QTextFormat::FontFamilies).toStringList();
        key.Name = families.value(0);
        if (key.Name.isEmpty())
            key.Name = cf.property(QTextFormat::FontFamily).toString();
        if (key.Name.isEmpty())
            key.Name = defaultFont.family();
        if (key.Name.isEmpty())
            key.Name = QStringLiteral("Arial");
        qreal pixels; // at 96 per inch
        if (cf.hasProperty(QTextFormat::FontPixelSize)) {
            pixels = cf.intProperty(QTextFormat::FontPixelSize);
        } else {
            if (cf.hasProperty(QTextFormat::FontPointSize))
                pixels = cf.doubleProperty(QTextFormat::FontPointSize) * kScreenPixelsPerInch / 72.0;
            else if (defaultFont.pointSizeF() > 0)
                pixels = defaultFont.pointSizeF() * kScreenPixelsPerInch / 72.0;
            else
                pixels = defaultFont.pixelSize();
            if (cf.hasProperty(QTextFormat::FontSizeAdjustment))
                pixels *= SizeAdjustmentFactor(cf.intProperty(QTextFormat::FontSizeAdjustment));
        }
        if (!(pixels > 0))
            pixels = 13;
        key.Height = -std::clamp(qRound(pixels * scale), 1, kMaxFontHeight);
        const int weight = cf.hasProperty(QTextFormat::FontWeight) ? cf.fontWeight() : defaultFont.weight();
        const bool italic = cf.hasProperty(QTextFormat::FontItalic) ? cf.fontItalic() : defaultFont.italic();
        const bool underline = cf.hasProperty(QTextFormat::TextUnderlineStyle) || cf.hasProperty(QTextFormat::FontUnderline)
            ? cf.fontUnderline()
            : defaultFont.underline();
        const bool strike = cf.hasProperty(QTextFormat::FontStrikeOut) ? cf.fontStrikeOut() : defaultFont.strikeOut();
        TFontStyles style;
        style.setFlag(fsBold, weight >= QFont::DemiBold);
        style.setFlag(fsItalic, italic);
        style.setFlag(fsUnderline, underline);
        style.setFlag(fsStrikeOut, strike);
        key.Style = style.toInt();
        key.Charset = cf.hasProperty(kRichTextCharsetProperty)
            ? std::clamp(cf.intProperty(kRichTextCharsetProperty), 0, 255)
            : DEFAULT_CHARSET;
        const QBrush fg = cf.foreground();
        key.HasColor = fg.style() != Qt::NoBrush;
        key.Color = key.HasColor ? RGBColor(fg.color().red(), fg.color().green(), fg.color().blue()) : 0;
        const QBrush bg = cf.background();
        key.HasBackground = bg.style() != Qt::NoBrush && bg.color().alpha() > 0;
        key.Background = key.HasBackground ? RGBColor(bg.color().red(), bg.color().green(), bg.color().blue()) : 0;
        return StyleIndex(key);
    };

    auto pictureOf = [&](const QTextImageFormat& f) {
        TRichTextPicture pic;
        pic.Image = ImageFromResource(doc.resource(QTextDocument::ImageResource, QUrl(f.name())));
        const qreal iw = pic.Image.width(), ih = pic.Image.height();
        qreal w = f.width(), h = f.height(); // report pixels; 0 when not given
        if (w <= 0 && h > 0 && ih > 0)
            w = iw * h / ih;
        else if (h <= 0 && w > 0 && iw > 0)
            h = ih * w / iw;
        if (w <= 0)
            w = iw;
        if (h <= 0)
            h = ih;
        pic.Width = std::max(0, units(w));
        pic.Height = std::max(0, units(h));
        FPictures.push_back(std::move(pic));
        return -1 - int(FPictures.size() - 1);
    };

    std::unordered_map<int, int> styleOfFormat; // the document's format index -> style
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        TRichTextParagraph p;
        p.Text.reserve(block.length());
        p.Advance.reserve(block.length());
        p.Style.reserve(block.length());
        const QTextBlockFormat bf = block.blockFormat();
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        p.Align = (a & Qt::AlignJustify) ? Qt::AlignJustify
            : (a & Qt::AlignHCenter)     ? Qt::AlignHCenter
            : (a & Qt::AlignRight)       ? Qt::AlignRight
                                         : Qt::AlignLeft;
        p.LeftIndent = units(bf.leftMargin() + bf.indent() * doc.indentWidth());
        p.RightIndent = units(bf.rightMargin());
        p.FirstIndent = units(bf.textIndent());
        p.SpaceBefore = std::max(0, units(bf.topMargin()));
        p.SpaceAfter = std::max(0, units(bf.bottomMargin()));
        for (const QTextOption::Tab& t : bf.tabPositions())
            p.Tabs.push_back(std::max(0, units(t.position)));
        std::sort(p.Tabs.begin(), p.Tabs.end());
        p.Tabs.erase(std::unique(p.Tabs.begin(), p.Tabs.end()), p.Tabs.end());
        p.LineHeightType = bf.lineHeightType();
        p.LineHeight = p.LineHeightType == QTextBlockFormat::ProportionalHeight
            ? std::clamp<qreal>(bf.lineHeight(), 0, 10000)
            : units(bf.lineHeight());
        p.MarkStyle = styleOf(block.charFormat());

        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat cf = fragment.charFormat();
            const QString text = fragment.text();
            if (cf.isImageFormat()) {
                for (QChar c : text) {
                    if (c.unicode() != kObject)
                        continue;
                    const int picture = pictureOf(cf.toImageFormat());
                    p.Text.append(QChar(kObject));
                    p.Advance.push_back(FPictures[-1 - picture].Width);
                    p.Style.push_back(picture);
                }
                continue;
            }
            // Fragments share the document's formats: resolve each once.
            const int formatIndex = fragment.charFormatIndex();
            auto known = styleOfFormat.find(formatIndex);
            const int style = known != styleOfFormat.end() ? known->second : styleOf(cf);
            styleOfFormat.emplace(formatIndex, style);
            const TFontFace& face = *FStyles[style].Face;
            const qsizetype n = text.size();
            for (qsizetype i = 0; i < n; ++i) {
                const QChar c = text[i];
                const char16_t u = c.unicode();
                int advance;
                if (u == u'\t' || u == kLineBreak) {
                    advance = 0;
                } else if (u == 0x2029) {
                    p.Text.append(QChar(kLineBreak)); // a paragraph separator inside a block breaks the line
                    p.Advance.push_back(0);
                    p.Style.push_back(style);
                    continue;
                } else if (u < 0x20 || u == 0x00AD || u == kObject || u == 0xFDD0 || u == 0xFDD1) {
                    continue; // soft hyphens are shown only at a break, which this layout does not make
                } else if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
                    p.Text.append(c);
                    p.Advance.push_back(face.CharWidth(QChar::surrogateToUcs4(c, text[i + 1])));
                    p.Style.push_back(style);
                    p.Text.append(text[++i]);
                    p.Advance.push_back(0);
                    p.Style.push_back(style);
                    continue;
                } else {
                    advance = face.CharWidth(u);
                }
                p.Text.append(c);
                p.Advance.push_back(advance);
                p.Style.push_back(style);
            }
        }
        FParagraphs.push_back(std::move(p));
    }
}

int TRichTextLayout::NextTab(const TRichTextParagraph& p, int x) const
{
    auto it = std::upper_bound(p.Tabs.begin(), p.Tabs.end(), x);
    if (it != p.Tabs.end())
        return *it;
    // Past the paragraph's own stops: the document's default stops.
    return (x / FDefaultTab + 1) * FDefaultTab;
}

const TRichTextLines& TRichTextLayout::Lines(int width)
{
    width = std::max(0, width);
    if (FLines.Width == width)
        return FLines;
    TRichTextLines out;
    out.Width = width;
    out.MinLeft = INT_MAX;
    out.MaxRight = INT_MIN;
    int y = 0;
    for (int i = 0; i < int(FParagraphs.size()); ++i)
        LayoutParagraph(i, width, y, out);
    out.Height = y;
    if (out.Pieces.empty())
        out.MinLeft = out.MaxRight = 0;
    FLines = std::move(out);
    return FLines;
}

void TRichTextLayout::LayoutParagraph(int index, int width, int& y, TRichTextLines& out) const
{
    const TRichTextParagraph& p = FParagraphs[index];
    const QString& t = p.Text;
    const int n = int(t.size());
    const int right = width - p.RightIndent;
    y += p.SpaceBefore;

    int i = 0;
    bool firstLine = true;
    for (;;) {
        // Break one line: whole words (and pictures, and tabs) while they fit.
        const int startX = std::max(0, p.LeftIndent + (firstLine ? p.FirstIndent : 0));
        const int lineStart = i;
        int lineEnd = i;
        int x = startX; // after the last word placed
        int xb = startX; // after the blanks that follow it
        bool hasContent = false, hasTab = false, explicitBreak = false, wrapped = false;
        int next = n;
        int j = i;
        while (j < n) {
            const char16_t c = t[j].unicode();
            if (c == kLineBreak) {
                explicitBreak = true;
                next = j + 1;
                break;
            }
            if (c == u' ') {
                xb += p.Advance[j++];
                continue;
            }
            if (c == u'\t') {
                const int tx = NextTab(p, xb);
                if (hasContent && tx > right) {
                    wrapped = true;
                    next = j;
                    break;
                }
                x = xb = tx;
                lineEnd = ++j;
                hasContent = hasTab = true;
                continue;
            }
            int k = j;
            int w = 0;
            if (p.Style[j] < 0) {
                w = p.Advance[k++]; // a picture is a word of its own
            } else {
                while (k < n && p.Style[k] >= 0) {
                    const char16_t d = t[k].unicode();
                    if (d == u' ' || d == u'\t' || d == kLineBreak)
                        break;
                    w += p.Advance[k++];
                }
            }
            if (hasContent && xb + w > right) {
                wrapped = true; // blanks before the word are dropped
                next = j;
                break;
            }
            x = xb = xb + w;
            lineEnd = j = k;
            hasContent = true;
        }
        if (!hasContent) {
            lineEnd = j; // a line of blanks only keeps them
            x = xb;
        }

        // Height: the highest ascent and the deepest descent on the line.
        int ascent = 0, descent = 0;
        bool any = false;
        for (int k = lineStart; k < lineEnd; ++k) {
            const int s = p.Style[k];
            if (s >= 0) {
                ascent = std::max(ascent, FStyles[s].Face->Ascent());
                descent = std::max(descent, FStyles[s].Face->Descent());
            } else {
                ascent = std::max(ascent, FPictures[-1 - s].Height);
            }
            any = true;
        }
        if (!any) {
            // An empty line takes the height of the character that ends it.
            int s = p.MarkStyle;
            if (lineStart < n && p.Style[lineStart] >= 0)
                s = p.Style[lineStart];
            else if (lineStart > 0 && lineStart <= n && p.Style[lineStart - 1] >= 0)
                s = p.Style[lineStart - 1];
            ascent = FStyles[s].Face->Ascent();
            descent = FStyles[s].Face->Descent();
        }
        const int natural = ascent + descent;
        int height = natural;
        switch (p.LineHeightType) {
        case QTextBlockFormat::ProportionalHeight: height = qRound(natural * p.LineHeight / 100.0); break;
        case QTextBlockFormat::FixedHeight: height = int(p.LineHeight); break;
        case QTextBlockFormat::MinimumHeight: height = std::max(natural, int(p.LineHeight)); break;
        case QTextBlockFormat::LineDistanceHeight: height = natural + int(p.LineHeight); break;
        default: break;
        }
        height = std::max(0, height);

        TRichTextLine line;
        line.Top = y;
        line.Height = height;
        line.Ascent = ascent + (height - natural); // extra spacing goes above the text
        line.Width = x - startX;
        line.FirstPiece = int(out.Pieces.size());
        const int available = right - startX;
        int offset = 0;
        if (p.Align == Qt::AlignRight)
            offset = std::max(0, available - line.Width);
        else if (p.Align == Qt::AlignHCenter)
            offset = std::max(0, (available - line.Width) / 2);
        line.Left = startX + offset;

        // Justification: the last line of a paragraph, a line ended by a
        // line break and a line with tabs keep their natural spacing; the
        // blanks before the first word are not stretched.
        int justifyFrom = lineEnd;
        if (p.Align == Qt::AlignJustify && wrapped && !hasTab && available > line.Width) {
            int first = lineStart;
            while (first < lineEnd && t[first] == u' ')
                ++first;
            int blanks = 0;
            for (int k = first; k < lineEnd; ++k)
                blanks += t[k] == u' ';
            if (blanks > 0) {
                justifyFrom = first;
                line.ExtraPerBlank = (available - line.Width) / blanks;
                line.ExtraRemainder = (available - line.Width) % blanks;
            }
        }

        // Pieces: runs of one style between tabs; pictures alone.
        int xn = startX; // natural x, where tab stops are found
        int extraSoFar = 0;
        int blankOrdinal = 0;
        int k = lineStart;
        while (k < lineEnd) {
            const char16_t c = t[k].unicode();
            if (c == u'\t') {
                xn = NextTab(p, xn);
                ++k;
                continue;
            }
            TRichTextPiece piece;
            piece.Paragraph = index;
            piece.Start = k;
            piece.Style = p.Style[k];
            piece.X = xn + offset + extraSoFar;
            piece.FirstBlank = blankOrdinal;
            int w = 0, extra = 0;
            if (piece.Style < 0) {
                w = p.Advance[k++];
            } else {
                while (k < lineEnd && p.Style[k] == piece.Style && t[k] != u'\t') {
                    w += p.Advance[k];
                    if (t[k] == u' ' && k >= justifyFrom) {
                        extra += line.ExtraPerBlank + (blankOrdinal < line.ExtraRemainder ? 1 : 0);
                        ++blankOrdinal;
                    }
                    ++k;
                }
            }
            piece.Length = k - piece.Start;
            piece.Width = w + extra;
            xn += w;
            extraSoFar += extra;
            out.MinLeft = std::min(out.MinLeft, piece.X);
            out.MaxRight = std::max(out.MaxRight, piece.X + piece.Width);
            out.Pieces.push_back(piece);
        }
        line.PieceCount = int(out.Pieces.size()) - line.FirstPiece;
        line.JustifyFrom = justifyFrom;
        line.Paragraph = index;
        out.Lines.push_back(line);
        y += height;

        firstLine = false;
        if (!explicitBreak && !wrapped)
            break;
        i = next;
    }
    y += p.SpaceAfter;
}

void TRichTextLayout::DrawPiece(TCanvas& canvas, const TRect& rect, const TRichTextLine& line,
    const TRichTextPiece& piece, TColor autoColor, std::vector<int>& dx)
{
    const int x = rect.Left + piece.X;
    const int top = rect.Top + line.Top;
    if (piece.Style < 0) {
        const TRichTextPicture& pic = FPictures[-1 - piece.Style];
        if (!pic.Image.isNull() && pic.Width > 0 && pic.Height > 0)
            canvas.StretchImage(Bounds(x, top + line.Ascent - pic.Height, pic.Width, pic.Height), pic.Image,
                Rect(0, 0, pic.Image.width(), pic.Image.height()));
        return;
    }
    const TRichTextParagraph& p = FParagraphs[piece.Paragraph];
    const TRichTextStyle& st = FStyles[piece.Style];
    const QStringView text = QStringView(p.Text).mid(piece.Start, piece.Length);
    if (st.HasBackground) {
        canvas.Brush()->SetColor(st.Background);
        canvas.Brush()->SetStyle(bsSolid);
        canvas.FillRect(Rect(x, top, x + piece.Width, top + line.Height));
    }
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; }))
        return; // blanks leave no ink
    canvas.Brush()->SetStyle(bsClear); // no text cell background
    TFont* font = canvas.Font();
    font->SetName(st.FontName);
    font->SetHeight(st.FontHeight);
    font->SetStyle(st.Style);
    font->SetCharset(st.Charset);
    font->SetColor(st.HasColor ? st.Color : autoColor);
    font->SetPitch(fpDefault);
    font->SetOrientation(0);
    dx.assign(p.Advance.begin() + piece.Start, p.Advance.begin() + piece.Start + piece.Length);
    int blank = piece.FirstBlank;
    for (int i = 0; i < piece.Length; ++i) {
        if (text[i] == u' ' && piece.Start + i >= line.JustifyFrom) {
            dx[i] += line.ExtraPerBlank + (blank < line.ExtraRemainder ? 1 : 0);
            ++blank;
        }
    }
    canvas.ExtTextOut(x, top + line.Ascent - st.Face->Ascent(), 0, nullptr, text, dx.data());
}

int TRichTextLayout::Render(TCanvas& canvas, const TRect& rect, bool measureOnly)
{
    const TRichTextLines& lines = Lines(rect.Width());
    const int bottom = rect.Top + lines.Height;
    if (measureOnly || lines.Pieces.empty())
        return bottom;

    TFont savedFont;
    savedFont.Assign(canvas.Font());
    TBrush savedBrush;
    savedBrush.Assign(canvas.Brush());
    const unsigned savedAlign = canvas.TextAlign();
    canvas.SetTextAlign(TA_LEFT | TA_TOP);
    const bool clip = lines.Height > rect.Height() || lines.MinLeft < 0 || lines.MaxRight > rect.Width();
    if (clip) {
        canvas.SaveState();
        canvas.IntersectClipRect(rect);
    }
    const TColor autoColor = savedFont.Color();
    std::vector<int> dx;
    for (const TRichTextLine& line : lines.Lines) {
        if (rect.Top + line.Top >= rect.Bottom)
            break;
        for (int i = 0; i < line.PieceCount; ++i)
            DrawPiece(canvas, rect, line, lines.Pieces[line.FirstPiece + i], autoColor, dx);
    }
    if (clip)
        canvas.RestoreState();
    canvas.SetFont(&savedFont);
    canvas.SetBrush(&savedBrush);
    canvas.SetTextAlign(savedAlign);
    return bottom;
}

int LayoutRichText(const QTextDocument& doc, TCanvas& canvas, const TRect& rect, bool measureOnly)
{
    TRichTextLayout layout(doc, canvas.PixelsPerInchY());
    return layout.Render(canvas, rect, measureOnly);
}

} // namespace vorel
