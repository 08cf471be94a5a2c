// libFuzzer target of the RTF reader and the rich text layout: any bytes are
// read as RTF (with and without the header, raw bytes as code page bytes or
// as UTF-8), the document is laid out at two widths and drawn onto a page
// canvas. Reading never fails, so anything other than a normal return (a
// crash, a sanitizer report, a hang or a huge allocation) is a finding.
//
//   ninja -C build-sanitize fuzz_rtf     (scripts/fuzz.sh builds and runs it)
//   ./build-sanitize/bin/fuzz_rtf -max_total_time=600 fuzz/corpus/rtf

#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "model/rich_text_layout.h"
#include "model/rtf_reader.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>

namespace {

QGuiApplication* App()
{
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*.warning=false"); // libpng's complaints about broken pictures
        return new QGuiApplication(argc, argv);
    }();
    return app;
}

} // namespace

// Fontconfig and Qt keep their font caches for the life of the process;
// leak reports about them say nothing about the reader.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    App();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QTextDocument doc;
    ReadRtf(doc, bytes, TRichTextDefaults(), size % 2 == 1);
    TRichTextLayout layout(doc);
    layout.Height(0);
    layout.Height(250);
    TMetafile page;
    page.SetWidth(300);
    page.SetHeight(300);
    {
        TMetafileCanvas canvas(page, QStringLiteral("fuzz"), QStringLiteral("rtf"));
        layout.Render(canvas, Rect(10, 10, 260, 290), false);
    }
    return 0;
}
