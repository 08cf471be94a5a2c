// Fuzz target of the EMF reader: validation, the enumerator with its replay
// state, and the player, on any bytes. Invalid input must end in
// EInvalidGraphic; anything else (a crash, a sanitizer report, a hang or a
// huge allocation) is a finding.
#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>

namespace {

QGuiApplication* App()
{
    static int argc = 1;
    static char name[] = "fuzz_emf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return app;
}

} // namespace

// Fontconfig and Qt keep their font caches for the life of the process;
// leak reports about them say nothing about the reader.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    App();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    vorel::TMetafile metafile;
    try {
        metafile.LoadFromBytes(bytes, QStringLiteral("fuzz"));
    } catch (const vorel::EInvalidGraphic&) {
        // Also read it as a stream: the bounded reader must agree.
        QByteArray copy = bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        try {
            metafile.ReadFromStream(buffer, QStringLiteral("fuzz stream"));
        } catch (const vorel::EInvalidGraphic&) {
            return 0;
        }
    }
    vorel::TEmfEnumerator records(metafile);
    while (records.Next()) {
    }
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    metafile.Play(painter, QRectF(0, 0, 64, 64));
    return 0;
}
