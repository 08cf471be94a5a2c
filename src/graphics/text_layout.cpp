#include "graphics/text_layout.h"

#include "graphics/canvas.h"

namespace vorel {

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString StripPrefixes(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                out.append(u'&');
                ++i;
            }
            continue; // the mnemonic marker itself is not drawn
        }
        out.append(text[i]);
    }
    return out;
}

// Advances x over one character, honouring tab stops.
inline int Advance(const TFontFace& face, int x, QChar c, int tabWidth)
{
    if (c == u'\t' && tabWidth > 0)
        return (x / tabWidth + 1) * tabWidth;
    return x + face.CharWidth(c.unicode());
}

} // namespace

int RunWidth(const TFontFace& face, QStringView run, int startX, int tabWidth)
{
    if (tabWidth <= 0 || !run.contains(u'\t'))
        return face.TextWidth(run);
    int x = startX;
    for (qsizetype i = 0; i < run.size(); ++i) {
        const QChar c = run[i];
        if (c.isHighSurrogate() && i + 1 < run.size() && run[i + 1].isLowSurrogate()) {
            x += face.CharWidth(QChar::surrogateToUcs4(c, run[i + 1]));
            ++i;
        } else {
            x = Advance(face, x, c, tabWidth);
        }
    }
    return x - startX;
}

TTextLayout LayoutText(const TFontFace& face, const QString& text, unsigned flags, int width)
{
    TTextLayout layout;
    layout.Text = (flags & DT_NOPREFIX) ? text : StripPrefixes(text);
    layout.LineHeight = face.Height() + ((flags & DT_EXTERNALLEADING) ? face.ExternalLeading() : 0);
    layout.TabWidth = (flags & DT_EXPANDTABS) ? 8 * std::max(1, face.AveCharWidth()) : 0;
    const QString& t = layout.Text;
    const int n = int(t.size());
    if (n == 0)
        return layout;
    const bool singleLine = flags & DT_SINGLELINE;
    const bool wordBreak = (flags & DT_WORDBREAK) && !singleLine;
    const int tab = layout.TabWidth;

    auto addLine = [&](int start, int length, int w) {
        layout.Lines.append({start, length, w});
        layout.MaxWidth = std::max(layout.MaxWidth, w);
    };

    int p = 0;
    while (p < n) {
        // The paragraph [p, e): up to the next line break.
        int e = p;
        if (!singleLine)
            while (e < n && t[e] != u'\r' && t[e] != u'\n')
                ++e;
        else
            e = n;
        int next = e;
        if (next < n) {
            if (t[next] == u'\r' && next + 1 < n && t[next + 1] == u'\n')
                next += 2;
            else
                next += 1;
        }

        if (!wordBreak) {
            addLine(p, e - p, RunWidth(face, QStringView(t).mid(p, e - p), 0, tab));
        } else {
            int i = p;
            bool firstLine = true;
            do {
                if (!firstLine)
                    while (i < e && IsBlank(t[i]))
                        ++i; // blanks at a wrap are consumed
                const int lineStart = i;
                int x = 0;
                int lineEnd = i;
                int lineWidth = 0;
                bool hasWord = false;
                while (i < e) {
                    int j = i;
                    int xb = x;
                    while (j < e && IsBlank(t[j]))
                        xb = Advance(face, xb, t[j++], tab);
                    if (j == e) {
                        i = e; // trailing blanks end the paragraph; they take no width
                        break;
                    }
                    int k = j;
                    int xw = xb;
                    while (k < e && !IsBlank(t[k])) {
                        const QChar c = t[k];
                        if (c.isHighSurrogate() && k + 1 < e && t[k + 1].isLowSurrogate()) {
                            xw += face.CharWidth(QChar::surrogateToUcs4(c, t[k + 1]));
                            k += 2;
                        } else {
                            xw += face.CharWidth(c.unicode());
                            ++k;
                        }
                    }
                    if (hasWord && xw > width) {
                        i = j; // the next line starts at this word
                        break;
                    }
                    hasWord = true;
                    x = xw;
                    lineEnd = k;
                    lineWidth = xw;
                    i = k;
                }
                // A line with leading blanks only keeps them (they are drawn).
                if (!hasWord && firstLine) {
                    lineEnd = e;
                    lineWidth = RunWidth(face, QStringView(t).mid(lineStart, e - lineStart), 0, tab);
                }
                addLine(lineStart, lineEnd - lineStart, lineWidth);
                firstLine = false;
            } while (i < e);
        }
        p = next;
    }
    return layout;
}

} // namespace vorel
