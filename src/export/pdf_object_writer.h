#pragma once
// The byte layer of the PDF writer: lines, objects, streams, the
// cross-reference table and the trailer, with exact byte counting. Every
// byte of the file goes through TPdfWriter, which knows the file offset of
// each object it starts, so the cross-reference table points at each
// "N 0 obj" line and every /Length is the exact size of its stream data.
//
// Lines end in CR LF. While InContent() is set, lines go to the current
// page's content (a memory buffer) instead of the file: the content is
// written as one stream when the page ends.
//
// The small formatting helpers below are the one place numbers, names and
// strings get their PDF spelling.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QTransform>
#include <cstdint>
#include <functional>
#include <vector>

namespace vorel {

// Report pixels are 1/96 inch, PDF units 1/72 inch.
constexpr double kPdfUnitsPerPixel = 72.0 / 96.0;

// An integer in plain decimal.
QByteArray PdfInt(qint64 value);
// A real with at most three decimals, trailing zeros and point dropped
// ("595.5", "12", "-0.25"); the decimal point is always ".".
QByteArray PdfReal(double value);
// The six numbers "a b c d e f" of a transformation matrix (for "cm").
QByteArray PdfMatrix(const QTransform& matrix);
// A colour component (0..255) as a fraction with exactly three decimals.
QByteArray PdfColorComponent(int value);
// "r g b" of a 0x00BBGGRR colour, each with three decimals.
QByteArray PdfRgb(std::uint32_t rgb);
// A name token with its slash; bytes outside the regular printable set are
// written as #xx.
QByteArray PdfName(QByteArrayView name);
// A literal string "( ... )" of bytes: backslash and both parentheses get a
// backslash, line-break and other control bytes their escapes.
QByteArray PdfLiteralString(QByteArrayView bytes);
// The same spellings appended to out: the page content's hot path, without
// a temporary array per number or string.
void AppendPdfReal(QByteArray& out, double value);
void AppendPdfRgb(QByteArray& out, std::uint32_t rgb);
void AppendPdfLiteralString(QByteArray& out, QByteArrayView bytes);
// And written into a character buffer with room for them, returning the
// end: a real takes at most kPdfRealMaxChars characters, one byte of a
// literal string at most kPdfStringByteMaxChars (an octal escape).
constexpr int kPdfRealMaxChars = 320;
constexpr int kPdfStringByteMaxChars = 4;
char* PutPdfReal(char* out, double value);
char* PutPdfStringByte(char* out, std::uint8_t byte);
// A text string of the document information: PDFDocEncoding when every
// character has a byte there that reads the same as in Latin-1, else
// UTF-16BE with its byte order mark as a hexadecimal string.
QByteArray PdfTextString(QStringView text);
// Each UTF-16 unit of text as four upper-case hexadecimal digits (the
// inside of a hexadecimal string, or a CMap code).
void AppendPdfUtf16Hex(QByteArray& out, QStringView text);

// Where the file's bytes go (the export file, or memory in tests), in
// blocks; it raises when it cannot take them.
using TPdfSink = std::function<void(QByteArrayView bytes)>;

class TPdfWriter {
public:
    explicit TPdfWriter(TPdfSink sink);
    TPdfWriter(const TPdfWriter&) = delete;
    TPdfWriter& operator=(const TPdfWriter&) = delete;

    // One line: the bytes, then CR LF; to the content while InContent().
    void WriteString(QByteArrayView line);
    // Bytes without a line end, to the file (stream data).
    void WriteRaw(QByteArrayView bytes);

    bool InContent() const { return FInContent; }
    void SetInContent(bool value) { FInContent = value; }
    // The content written since the last call; the content count restarts.
    QByteArray TakeContent();
    // The content written so far, and the buffer itself for callers that
    // append whole lines (each ending in CR LF) without a temporary.
    QByteArrayView Content() const { return FContent; }
    QByteArray& ContentBuffer() { return FContent; }
    // Forgets the content but keeps its buffer for the next page.
    void ClearContent() { FContent.resize(0); }
    qint64 ContentCount() const { return FContent.size(); } // bytes
    qint64 FileCount() const { return FFileCount; } // bytes written to the file so far
    qint64 TotalCount() const { return FFileCount + FContent.size(); } // everything produced

    // The next free object number; numbers start at 1 and are handed out
    // in order, so the file's objects are 1 .. ObjectCount().
    int GetNextRefIndex() { return FNextObject++; }
    int NextObject() const { return FNextObject; }
    // Skips numbers reserved by the caller (the catalogue, information and
    // root page tree take 1 to 3 before any other number is handed out).
    void ReserveUpTo(int object);
    // Records that object starts at the file position the next line will
    // have. Raises when the object was already started or content is open.
    void AddRef(int object);
    // "N 0 obj" with AddRef.
    void BeginObject(int object);
    void EndObject() { WriteString("endobj"); }
    // A complete stream object: dictEntries (without /Length) and the data;
    // /Length is written directly, or as a reference to lengthObject (which
    // is then written right after, holding the exact count).
    void WriteStreamObject(int object, QByteArrayView dictEntries, QByteArrayView data, int lengthObject = 0);
    // The body of a stream: "stream", the data, its own line end, "endstream".
    void WriteStreamBody(QByteArrayView data);

    // The cross-reference table of every object started, then the trailer
    // with trailerEntries and /Size, "startxref", its offset and "%%EOF".
    // Raises when a number handed out was never written.
    void WriteXrefAndTrailer(QByteArrayView trailerEntries);
    // Hands what is buffered to the sink.
    void Flush();

private:
    void ToFile(const char* data, qsizetype size);

    TPdfSink FSink;
    QByteArray FBuffer; // file bytes not yet handed to the device
    QByteArray FContent; // the current page's content lines
    qint64 FFileCount = 0;
    bool FInContent = false;
    int FNextObject = 1;
    std::vector<qint64> FOffsets; // by object number; -1 = not written
};

} // namespace vorel
