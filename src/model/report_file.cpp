// Report form files: the header and component resource around the
// component stream, the text form, and the report's save and load
// operations (printer refresh and event binding after a load).

#include "model/report_file.h"

#include "export/export_file.h"
#include "foundation/values/byte_io.h"
#include "graphics/printer.h"
#include "model/event_handlers.h"
#include "model/report.h"
#include "model/report_form.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

namespace vorel {

namespace {

constexpr qsizetype kHeaderLengthBytes = 4; // the signed 32-bit L in front of the banner

// The banner as the header stores it: L is its number of characters, and
// the first L bytes of its UTF-16LE form follow (so only L / 2 characters
// of it). Readers skip those bytes, whatever they hold.
QByteArray HeaderBytes()
{
    const QString banner = QString::fromUtf16(kReportFormBanner);
    const auto length = std::int32_t(banner.size());
    QByteArray utf16;
    for (const QChar c : banner)
        bytes::writeU16le(utf16, c.unicode());
    QByteArray out;
    bytes::writeI32le(out, length);
    out.append(utf16.left(length));
    return out;
}

[[noreturn]] void HeaderError(qsizetype offset, const QString& reason)
{
    TErrorPlace place;
    place.Offset = offset;
    throw EStreamError(QStringLiteral("Error reading report form at offset %1: %2").arg(offset).arg(reason), place);
}

// The component name an unresolved reference belongs to: the instance's,
// or that of the component holding the collection item or nested object.
QString OwnerName(const QObject* instance)
{
    for (const QObject* o = instance; o; o = o->parent())
        if (auto* component = qobject_cast<const TComponent*>(o))
            return component->Name().isEmpty() ? component->ClassName() : component->Name();
    return instance ? QString::fromLatin1(instance->metaObject()->className()) : QStringLiteral("?");
}

// A stored printer name is looked up again in this system's printer list
// (the index of another machine means nothing here), and a paper whose
// width or height is unknown gets its size again.
void RefreshPrinterSettings(TKVXPrinter* printer)
{
    if (!printer->PrinterName().isEmpty())
        printer->SetPrinterIndex(int(TPrinterService::Instance().Printers().indexOf(printer->PrinterName())));
    // psCustom's table size is 0 x 1: applying it again would only lose a
    // custom height that was set.
    if (printer->PaperSize() != psCustom && (printer->GetPaperSizeWidth() == 0 || printer->GetPaperSizeHeight() == 0))
        printer->SetPaperSize(printer->PaperSize());
}

} // namespace

// --- the file around the component stream -------------------------------------------------------

QByteArray WriteReportForm(const FormComponent& tree, TReportFormFormat format)
{
    if (format == TReportFormFormat::Text)
        return WriteFormText(tree);
    QByteArray out = HeaderBytes();
    out.append(WrapFormResource(tree.ClassName, WriteFormBinary(tree)));
    return out;
}

TReportFormFormat DetectReportFormFormat(QByteArrayView bytes)
{
    if (!LooksLikeFormResource(bytes) && DetectFormFormat(bytes) == FormFormat::Text)
        return TReportFormFormat::Text;
    return TReportFormFormat::Binary;
}

void ReadReportForm(QByteArrayView data, FormComponent& tree)
{
    if (DetectReportFormFormat(data) == TReportFormFormat::Text) {
        ReadFormText(data, tree);
        return;
    }
    // A stream shorter than its header is no error by itself: the resource
    // that should follow is missing, and that is what is reported.
    if (data.size() < kHeaderLengthBytes)
        HeaderError(data.size(), QStringLiteral("Stream read error (%1 bytes, too short for a report form)")
                                     .arg(data.size()));
    bytes::ByteReader in(data);
    const std::int32_t length = in.i32le();
    if (length < 0)
        HeaderError(0, QStringLiteral("Invalid stream format (a header length of %1)").arg(length));
    if (length > in.Remaining())
        HeaderError(data.size(), QStringLiteral("Stream read error (a header of %1 bytes, %2 remain)")
                                     .arg(length)
                                     .arg(in.Remaining()));
    const qsizetype start = kHeaderLengthBytes + length;
    if (start == data.size())
        HeaderError(start, QStringLiteral("Stream read error (no component resource after the header)"));
    // A resource whose size runs past the end is read as far as it goes, so
    // that a cut-off file keeps the bands before the cut and the error names
    // the place where the data ends.
    QByteArrayView body = data.sliced(start);
    FormParseOptions options;
    options.BaseOffset = start;
    if (LooksLikeFormResource(body)) {
        const FormResource resource = ReadFormResourceHeader(body, start, true);
        body = body.sliced(resource.DataOffset, resource.DataSize);
        options.BaseOffset += resource.DataOffset;
    }
    ReadFormAny(body, tree, options);
}

TReportFileKind DetectReportFileKind(QByteArrayView bytes)
{
    constexpr qsizetype kSignatureOffset = 4; // after the string's 32-bit length
    QByteArray head = bytes.first(std::min<qsizetype>(bytes.size(), 64)).toByteArray();
    if (head.mid(kSignatureOffset, 4) == "KVXP")
        return TReportFileKind::Prepared;
    if (head.startsWith("TPF0"))
        return TReportFileKind::Form;
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    head = head.trimmed().toLower();
    for (const char* word : {"object", "inherited", "inline"})
        if (head.startsWith(word))
            return TReportFileKind::Form;
    return TReportFileKind::Unknown;
}

TReportFileKind SniffReportFile(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return TReportFileKind::Unknown;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return TReportFileKind::Unknown;
    return DetectReportFileKind(file.read(64));
}

TReportFileKind ReportFileKind(const QString& fileName)
{
    const TReportFileKind sniffed = SniffReportFile(fileName);
    if (sniffed != TReportFileKind::Unknown)
        return sniffed;
    return QFileInfo(fileName).suffix().compare(u"zpg", Qt::CaseInsensitive) == 0 ? TReportFileKind::Prepared
                                                                                  : TReportFileKind::Form;
}

QStringList DescribeUnresolved(const std::vector<FormUnresolvedReference>& unresolved)
{
    QStringList lines;
    for (const FormUnresolvedReference& r : unresolved)
        lines << QStringLiteral("Error reading %1.%2: no component named %3").arg(OwnerName(r.Instance), r.Property, r.Name);
    return lines;
}

QStringList TReportLoadResult::Warnings() const
{
    return DescribeUnresolved(Unresolved) + UnboundEvents;
}

// --- the report's operations -------------------------------------------------------------------

QByteArray TKVReport::SaveReportToBytes(TReportFormFormat format)
{
    return WriteReportForm(ComponentToForm(this, ReportFormWriteOptions()), format);
}

void TKVReport::SaveReportToStream(QIODevice& stream, TReportFormFormat format)
{
    const QByteArray bytes = SaveReportToBytes(format);
    if (stream.write(bytes) != bytes.size())
        throw EStreamError(QStringLiteral("Stream write error: %1").arg(stream.errorString()));
}

void TKVReport::SaveReport(const QString& fileName, TReportFormFormat format)
{
    SetFileName(fileName);
    // The whole form is made before the file is touched, and written aside
    // and renamed: a report that cannot be written, or a disk that fills up,
    // leaves an existing file as it was.
    const QByteArray bytes = SaveReportToBytes(format);
    TExportFile file(fileName);
    file.Write(bytes);
    file.Commit();
}

TReportLoadResult TKVReport::LoadReportFromBytes(QByteArrayView bytes, const TReportLoadOptions& options)
{
    TReportLoadResult result;
    FormReadResult read;
    {
        struct LoadingFlag {
            TKVReport* Report;
            ~LoadingFlag() { Report->SetLoading(false); }
        } flag{this};
        SetLoading(true);
        FormComponent tree;
        std::exception_ptr parseError;
        try {
            ReadReportForm(bytes, tree);
        } catch (const EStreamError&) {
            parseError = std::current_exception();
        }
        if (options.EditForm && !parseError)
            options.EditForm(tree);
        read = ReadReportTree(this, tree, parseError, options.ResolveReference);
    }
    RefreshPrinterSettings(PrinterSetting());
    result.UnboundEvents =
        BindReportEvents(this, options.EventHandlers ? *options.EventHandlers : ReportEventHandlers());
    if (!read.Unresolved.empty() && !options.AllowUnresolvedReferences)
        throw EStreamError(DescribeUnresolved(read.Unresolved).join(QStringLiteral("; ")));
    result.Unresolved = std::move(read.Unresolved);
    return result;
}

TReportLoadResult TKVReport::LoadReportFromStream(QIODevice& stream, const TReportLoadOptions& options)
{
    return LoadReportFromBytes(stream.readAll(), options);
}

TReportLoadResult TKVReport::LoadReport(const QString& fileName, const TReportLoadOptions& options)
{
    SetFileName(fileName);
    SetFormDirectory(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    TErrorPlace place;
    place.File = fileName;
    if (!file.open(QIODevice::ReadOnly))
        throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()), place);
    const QByteArray bytes = file.readAll();
    file.close();
    try {
        TReportLoadResult result = LoadReportFromBytes(bytes, options);
        // The form may hold the name it was saved under: the report names
        // the file it was loaded from, so that saving goes back there.
        SetFileName(fileName);
        return result;
    } catch (const EKVXError& e) {
        SetFileName(fileName);
        // The place within the form, in this file (unless the error names another).
        TErrorPlace within = e.Place();
        if (within.File.isEmpty())
            within.File = fileName;
        throw EStreamError(QStringLiteral("%1: %2").arg(fileName, e.Message()), within);
    }
}

} // namespace vorel
