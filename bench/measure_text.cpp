// How long measuring a text takes: the cost every control pays twice per
// band and record. Prints nanoseconds per call (best of five runs) for the
// measuring service's paths and, for comparison, Qt's shaping measure.
//   measure_text [iterations]
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/text_layout.h"
#include "graphics/text_measure.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

volatile long long gSink = 0;

double BestNsPerCall(long long iterations, const std::function<long long()>& call)
{
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        long long sum = 0;
        for (long long i = 0; i < iterations; ++i)
            sum += call();
        const auto end = std::chrono::steady_clock::now();
        gSink = gSink + sum;
        best = std::min(best, std::chrono::duration<double, std::nano>(end - start).count() / double(iterations));
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const long long n = argc > 1 ? std::atoll(argv[1]) : 2000000;

    vorel::TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(10);
    const QString text = QStringLiteral("Invoice total 1,234"); // 19 characters + 1 below
    const QString text20 = text + QLatin1Char('.');
    const vorel::TFontFacePtr face = vorel::TTextMeasurer::Face(font);
    face->TextWidth(text20); // fills the advance table once

    vorel::TMetafile page;
    vorel::TMetafileCanvas canvas(page, {}, {});
    canvas.SetFont(&font);

    QFont qfont(QStringLiteral("Arial"));
    qfont.setPixelSize(13);
    const QFontMetricsF qmetrics(qfont);

    const QString paragraph = QString(text20 + QLatin1Char(' ')).repeated(10);

    std::printf("measuring a %lld-character string in Arial 10 pt, %lld calls, best of 5 runs\n",
        static_cast<long long>(text20.size()), n);
    std::printf("  face TextWidth (advance table)      %8.1f ns\n",
        BestNsPerCall(n, [&] { return face->TextWidth(text20); }));
    std::printf("  canvas TextWidth (current font)     %8.1f ns\n",
        BestNsPerCall(n, [&] { return canvas.TextWidth(text20); }));
    std::printf("  face lookup by font + TextWidth     %8.1f ns\n",
        BestNsPerCall(n / 4, [&] { return vorel::TTextMeasurer::Face(font)->TextWidth(text20); }));
    std::printf("  QFontMetricsF::horizontalAdvance    %8.1f ns\n",
        BestNsPerCall(n / 20, [&] { return static_cast<long long>(qmetrics.horizontalAdvance(text20)); }));
    std::printf("  word-broken layout, 210 characters  %8.1f ns\n",
        BestNsPerCall(n / 20, [&] {
            return static_cast<long long>(
                vorel::LayoutText(*face, paragraph, vorel::DT_WORDBREAK | vorel::DT_NOPREFIX, 150).Lines.size());
        }));
    // Recording: a text output on the page canvas (font unchanged), as the
    // band engine paints each control; the page is closed every 1000 texts.
    {
        long long done = 0;
        vorel::TMetafile mf;
        auto recorder = std::make_unique<vorel::TMetafileCanvas>(mf, QString(), QString());
        recorder->SetFont(&font);
        std::printf("  recording TextOut on the page canvas %8.1f ns\n",
            BestNsPerCall(n / 20, [&] {
                recorder->TextOut(10, int(done % 1000), text20);
                if (++done % 1000 == 0) {
                    recorder = std::make_unique<vorel::TMetafileCanvas>(mf, QString(), QString());
                    recorder->SetFont(&font);
                }
                return done;
            }));
    }
    return 0;
}
