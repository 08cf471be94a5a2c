#include "graphics/printer.h"

#include "graphics/painter_canvas.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>

#include <dlfcn.h>

namespace vorel {

namespace {

struct PaperEntry {
    int Code;
    int Width; // 0.1 mm, portrait
    int Length;
};

// The classic paper codes with their sizes.
constexpr PaperEntry kPapers[] = {
    {1, 2159, 2794}, {2, 2159, 2794}, {3, 2794, 4318}, {4, 4318, 2794}, {5, 2159, 3556}, {6, 1397, 2159},
    {7, 1905, 2540}, {8, 2970, 4200}, {9, 2100, 2970}, {10, 2100, 2970}, {11, 1480, 2100}, {12, 2500, 3540},
    {13, 1820, 2570}, {14, 2159, 3302}, {15, 2150, 2750}, {16, 2540, 3556}, {17, 2794, 4318}, {18, 2159, 2794},
    {19, 984, 2254}, {20, 1048, 2413}, {21, 1143, 2635}, {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588},
    {25, 5588, 8636}, {26, 8636, 11176}, {55, 2970, 2100}, {66, 4200, 5940}, {67, 4200, 2970},
};

constexpr unsigned kAllFields = TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE
    | TDeviceMode::DM_PAPERLENGTH | TDeviceMode::DM_PAPERWIDTH | TDeviceMode::DM_DEFAULTSOURCE
    | TDeviceMode::DM_DUPLEX;

// The sheet of a device mode in 0.1 mm, oriented.
QSize SheetOf(const TDeviceMode& mode)
{
    QSize size = mode.PaperSize == 256 || !(mode.Fields & TDeviceMode::DM_PAPERSIZE)
        ? QSize(mode.PaperWidth, mode.PaperLength)
        : PaperCodeSize(mode.PaperSize);
    if (size.width() <= 0 || size.height() <= 0)
        size = QSize(mode.PaperWidth > 0 ? mode.PaperWidth : 2100, mode.PaperLength > 0 ? mode.PaperLength : 2970);
    if (mode.Orientation == 2)
        size.transpose();
    return size;
}

int TenthsMmToPixels(int tenths, int dpi) { return int(std::lround(tenths * dpi / 254.0)); }

QPageLayout LayoutOf(const TDeviceMode& mode)
{
    QSize sheet = SheetOf(mode);
    if (mode.Orientation == 2)
        sheet.transpose(); // QPageLayout takes the portrait size and an orientation
    const QPageSize pageSize(QSizeF(sheet.width() / 10.0, sheet.height() / 10.0), QPageSize::Millimeter);
    return QPageLayout(pageSize, mode.Orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0));
}

QPrinter::DuplexMode QtDuplex(int duplex)
{
    // The raw codes: 2 binds on the long edge, 3 on the short edge.
    return duplex == 2 ? QPrinter::DuplexLongSide : duplex == 3 ? QPrinter::DuplexShortSide : QPrinter::DuplexNone;
}

int PaperSourceOf(int bin)
{
    // Bin codes 1..11 are Qt's sources 0..10; 14 cassette, 15 form source.
    if (bin >= 1 && bin <= 11)
        return bin - 1;
    if (bin == 14)
        return QPrinter::Cassette;
    if (bin == 15)
        return QPrinter::FormSource;
    return QPrinter::Auto;
}

// --- a job drawing through a QPainter on a QPrinter ---------------------------------

class TQtPrintJob : public TPrintJob {
public:
    TQtPrintJob(std::unique_ptr<QPrinter> printer, const TDeviceCaps& caps)
        : FPrinter(std::move(printer)), FCaps(caps)
    {
        if (!FPainter.begin(FPrinter.get()))
            throw EPrinter(QStringLiteral("Printing failed: the printer \"%1\" cannot start a job")
                               .arg(FPrinter->printerName().isEmpty() ? FPrinter->outputFileName()
                                                                      : FPrinter->printerName()));
        FCanvas = std::make_unique<TPainterCanvas>(&FPainter, caps.PixelsPerInchY);
    }
    ~TQtPrintJob() override
    {
        if (FPainter.isActive())
            Abort();
    }
    TCanvas& Canvas() override { return *FCanvas; }
    void NewPage() override
    {
        if (!FPrinter->newPage())
            throw EPrinter(QStringLiteral("Printing failed: the printer refused page %1").arg(FPage + 1));
        ++FPage;
    }
    void End() override
    {
        FCanvas.reset();
        if (FPainter.isActive() && !FPainter.end())
            throw EPrinter(QStringLiteral("Printing failed: the job could not be completed"));
    }
    void Abort() override
    {
        FCanvas.reset();
        if (FPainter.isActive()) {
            FPrinter->abort();
            FPainter.end();
        }
    }
    bool Printing() const override { return FPainter.isActive(); }
    int PageNumber() const override { return FPage; }
    const TDeviceCaps& Caps() const override { return FCaps; }

private:
    std::unique_ptr<QPrinter> FPrinter;
    QPainter FPainter;
    TDeviceCaps FCaps;
    std::unique_ptr<TPainterCanvas> FCanvas;
    int FPage = 1;
};

void ApplyMode(QPrinter& printer, const TDeviceMode& mode, int copies)
{
    printer.setPageLayout(LayoutOf(mode));
    printer.setFullPage(false);
    if (mode.Fields & TDeviceMode::DM_DUPLEX)
        printer.setDuplex(QtDuplex(mode.Duplex));
    if (mode.Fields & TDeviceMode::DM_DEFAULTSOURCE)
        printer.setPaperSource(QPrinter::PaperSource(PaperSourceOf(mode.DefaultSource)));
    printer.setCopyCount(std::max(1, copies));
}

// --- CUPS submission -----------------------------------------------------------------
//
// Qt's own CUPS path hands the finished document to CUPS and ignores the
// answer, so a queue that rejects the job looks like a job printed. Jobs
// for system printers are therefore drawn into a PDF file and submitted
// here, where the answer is read. libcups is opened at run time (it is
// what Qt's CUPS plugin itself uses, so it is there wherever system
// printers are), which keeps it out of the library's link line; without it
// jobs take Qt's path.

struct TCupsOption {
    char* Name;
    char* Value;
};

class TCupsLibrary {
public:
    static const TCupsLibrary* Get()
    {
        static const TCupsLibrary library;
        return library.PrintFile ? &library : nullptr;
    }
    int (*PrintFile)(const char* name, const char* filename, const char* title, int numOptions,
                     TCupsOption* options) = nullptr;
    const char* (*LastErrorString)() = nullptr;

private:
    TCupsLibrary()
    {
        void* handle = dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        LastErrorString = reinterpret_cast<const char* (*)()>(dlsym(handle, "cupsLastErrorString"));
        if (LastErrorString)
            PrintFile = reinterpret_cast<decltype(PrintFile)>(dlsym(handle, "cupsPrintFile"));
    }
};

// The CUPS media name of a device mode's sheet ("A4", "Letter", or a custom size).
QByteArray CupsMedia(const TDeviceMode& mode)
{
    QSize sheet = SheetOf(mode);
    if (mode.Orientation == 2)
        sheet.transpose();
    const QPageSize size(QSizeF(sheet.width() / 10.0, sheet.height() / 10.0), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    if (size.id() != QPageSize::Custom)
        return size.key().toLatin1();
    return QByteArray("Custom.") + QByteArray::number(sheet.width() / 10.0) + 'x'
        + QByteArray::number(sheet.height() / 10.0) + "mm";
}

// A job for a CUPS queue: every sheet drawn into a temporary PDF of the
// sheet's size, which End submits. The canvas origin is the printable
// area's corner, as for every job, so the sheet's own origin lies at minus
// the physical offsets.
class TCupsPrintJob : public TPrintJob {
public:
    TCupsPrintJob(const TCupsLibrary& cups, const QString& printerName, const QString& title, const TDeviceMode& mode,
                  int copies, const TDeviceCaps& caps)
        : FCups(cups), FPrinterName(printerName), FTitle(title), FMode(mode), FCopies(std::max(1, copies)), FCaps(caps)
    {
        FFile.setFileTemplate(QDir::temp().filePath(QStringLiteral("vorel-print-XXXXXX.pdf")));
        if (!FFile.open())
            throw EPrinter(QStringLiteral("Printing failed: no temporary file for the job to \"%1\": %2")
                               .arg(printerName, FFile.errorString()));
        FFile.close();
        FPrinter.setOutputFormat(QPrinter::PdfFormat);
        FPrinter.setOutputFileName(FFile.fileName());
        FPrinter.setResolution(caps.PixelsPerInchY);
        FPrinter.setPageLayout(LayoutOf(mode));
        FPrinter.setFullPage(true);
        FPrinter.setDocName(title);
        FPrinter.setCreator(title);
        if (!FPainter.begin(&FPrinter))
            throw EPrinter(QStringLiteral("Printing failed: the job for \"%1\" cannot start").arg(printerName));
        StartSheet();
    }
    ~TCupsPrintJob() override
    {
        if (FPainter.isActive())
            Abort();
    }
    TCanvas& Canvas() override { return *FCanvas; }
    void NewPage() override
    {
        FCanvas.reset();
        if (!FPrinter.newPage())
            throw EPrinter(QStringLiteral("Printing failed: the printer \"%1\" refused page %2")
                               .arg(FPrinterName)
                               .arg(FPage + 1));
        ++FPage;
        StartSheet();
    }
    void End() override
    {
        FCanvas.reset();
        if (FPainter.isActive() && !FPainter.end())
            throw EPrinter(QStringLiteral("Printing failed: the job for \"%1\" could not be completed").arg(FPrinterName));
        QByteArray media = CupsMedia(FMode);
        QByteArray copies = QByteArray::number(FCopies);
        QByteArray sides = FMode.Duplex == 2 ? "two-sided-long-edge"
            : FMode.Duplex == 3              ? "two-sided-short-edge"
                                             : "one-sided";
        QList<TCupsOption> options{{const_cast<char*>("media"), media.data()},
                                   {const_cast<char*>("copies"), copies.data()}};
        if (FMode.Fields & TDeviceMode::DM_DUPLEX)
            options.append(TCupsOption{const_cast<char*>("sides"), sides.data()});
        const int job = FCups.PrintFile(FPrinterName.toLocal8Bit().constData(),
                                        QFile::encodeName(FFile.fileName()).constData(), FTitle.toUtf8().constData(),
                                        int(options.size()), options.data());
        QFile::remove(FFile.fileName());
        if (job <= 0)
            throw EPrinter(QStringLiteral("Printing failed: the printer \"%1\" did not take the job: %2")
                               .arg(FPrinterName, QString::fromLocal8Bit(FCups.LastErrorString())));
    }
    void Abort() override
    {
        FCanvas.reset();
        if (FPainter.isActive()) {
            FPrinter.abort();
            FPainter.end();
        }
        QFile::remove(FFile.fileName());
    }
    bool Printing() const override { return FPainter.isActive(); }
    int PageNumber() const override { return FPage; }
    const TDeviceCaps& Caps() const override { return FCaps; }

private:
    void StartSheet()
    {
        // QPrinter's PDF engine starts every page with a fresh painter state.
        FPainter.resetTransform();
        FPainter.translate(FCaps.PhysicalOffsetX, FCaps.PhysicalOffsetY);
        FCanvas = std::make_unique<TPainterCanvas>(&FPainter, FCaps.PixelsPerInchY);
    }

    const TCupsLibrary& FCups;
    QString FPrinterName;
    QString FTitle;
    TDeviceMode FMode;
    int FCopies;
    TDeviceCaps FCaps;
    QTemporaryFile FFile;
    QPrinter FPrinter{QPrinter::HighResolution};
    QPainter FPainter;
    std::unique_ptr<TPainterCanvas> FCanvas;
    int FPage = 1;
};

// --- system printers ---------------------------------------------------------------

class TSystemPrinter : public TPrinterDevice {
public:
    explicit TSystemPrinter(const QPrinterInfo& info) : FInfo(info) {}
    QString Name() const override { return FInfo.printerName(); }
    QString Driver() const override { return FInfo.makeAndModel(); }
    QString Port() const override { return FInfo.location(); }
    unsigned SupportedFields() const override
    {
        unsigned fields = TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE | TDeviceMode::DM_PAPERLENGTH
            | TDeviceMode::DM_PAPERWIDTH | TDeviceMode::DM_DEFAULTSOURCE;
        if (FInfo.supportedDuplexModes().size() > 1)
            fields |= TDeviceMode::DM_DUPLEX;
        return fields;
    }
    TDeviceMode DefaultMode() const override
    {
        TDeviceMode mode;
        mode.Fields = TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE;
        const QSizeF mm = FInfo.defaultPageSize().size(QPageSize::Millimeter);
        const QSize tenths(int(std::lround(mm.width() * 10)), int(std::lround(mm.height() * 10)));
        mode.PaperSize = PaperCodeForSize(tenths);
        mode.PaperWidth = tenths.width();
        mode.PaperLength = tenths.height();
        if (mode.PaperSize == 256)
            mode.Fields |= TDeviceMode::DM_PAPERWIDTH | TDeviceMode::DM_PAPERLENGTH;
        const QPrinter::DuplexMode duplex = FInfo.defaultDuplexMode();
        mode.Duplex = duplex == QPrinter::DuplexLongSide ? 2 : duplex == QPrinter::DuplexShortSide ? 3 : 1;
        if (SupportedFields() & TDeviceMode::DM_DUPLEX)
            mode.Fields |= TDeviceMode::DM_DUPLEX;
        return mode;
    }
    TDeviceCaps Caps(const TDeviceMode& mode) const override
    {
        if (FCached && FCachedFor == mode)
            return FCachedCaps;
        QPrinter printer(FInfo, QPrinter::HighResolution);
        ApplyMode(printer, mode, 1);
        TDeviceCaps caps;
        caps.PixelsPerInchX = caps.PixelsPerInchY = printer.resolution();
        const QRect paper = printer.paperRect(QPrinter::DevicePixel).toAlignedRect();
        const QRect page = printer.pageRect(QPrinter::DevicePixel).toAlignedRect();
        caps.PhysicalWidth = paper.width();
        caps.PhysicalHeight = paper.height();
        caps.PhysicalOffsetX = page.left() - paper.left();
        caps.PhysicalOffsetY = page.top() - paper.top();
        caps.PrintableWidth = page.width();
        caps.PrintableHeight = page.height();
        FCached = true;
        FCachedFor = mode;
        FCachedCaps = caps;
        return caps;
    }
    std::unique_ptr<TPrintJob> BeginJob(const QString& title, const TDeviceMode& mode, int copies) override
    {
        if (const TCupsLibrary* cups = TCupsLibrary::Get())
            return std::make_unique<TCupsPrintJob>(*cups, FInfo.printerName(), title, mode, copies, Caps(mode));
        auto printer = std::make_unique<QPrinter>(FInfo, QPrinter::HighResolution);
        ApplyMode(*printer, mode, copies);
        printer->setDocName(title);
        return std::make_unique<TQtPrintJob>(std::move(printer), Caps(mode));
    }

private:
    QPrinterInfo FInfo;
    mutable bool FCached = false;
    mutable TDeviceMode FCachedFor;
    mutable TDeviceCaps FCachedCaps;
};

// --- the virtual printer -------------------------------------------------------------

class TVirtualPrinter : public TPrinterDevice {
public:
    explicit TVirtualPrinter(TPrinterService& service) : FService(service) {}
    QString Name() const override { return QStringLiteral("Vorel PDF printer"); }
    QString Driver() const override { return QStringLiteral("vorel-pdf"); }
    unsigned SupportedFields() const override { return kAllFields; }
    TDeviceMode DefaultMode() const override
    {
        TDeviceMode mode;
        mode.Fields = TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE;
        // Letter where the locale measures in inches, A4 elsewhere.
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        mode.PaperSize = letter ? 1 : 9;
        const QSize size = PaperCodeSize(mode.PaperSize);
        mode.PaperWidth = size.width();
        mode.PaperLength = size.height();
        return mode;
    }
    TDeviceCaps Caps(const TDeviceMode& mode) const override
    {
        constexpr int kDpi = 600;
        const QSize sheet = SheetOf(mode);
        TDeviceCaps caps;
        caps.PixelsPerInchX = caps.PixelsPerInchY = kDpi;
        caps.PhysicalWidth = caps.PrintableWidth = TenthsMmToPixels(sheet.width(), kDpi);
        caps.PhysicalHeight = caps.PrintableHeight = TenthsMmToPixels(sheet.height(), kDpi);
        return caps;
    }
    std::unique_ptr<TPrintJob> BeginJob(const QString& title, const TDeviceMode& mode, int copies) override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setResolution(600);
        QString file = FService.VirtualOutputFile();
        if (file.isEmpty()) {
            QString base = title.isEmpty() ? QStringLiteral("Vorel") : title;
            base.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
            file = QDir::current().filePath(base + QStringLiteral(".pdf"));
        }
        printer->setOutputFileName(file);
        ApplyMode(*printer, mode, copies);
        printer->setFullPage(true); // no unprintable area
        printer->setDocName(title);
        return std::make_unique<TQtPrintJob>(std::move(printer), Caps(mode));
    }

private:
    TPrinterService& FService;
};

// --- fake printers -----------------------------------------------------------------------

class TFakePrintJob : public TPrintJob {
public:
    TFakePrintJob(QList<TFakeJob>& jobs, const TFakePrinterSetup& setup, const TDeviceCaps& caps)
        : FJobs(jobs), FIndex(int(jobs.size()) - 1), FSetup(setup), FCaps(caps)
    {
        StartPage();
    }
    ~TFakePrintJob() override
    {
        if (Printing())
            Abort();
    }
    TCanvas& Canvas() override { return *FCanvas; }
    void NewPage() override
    {
        if (FSetup.FailOnPage)
            throw EPrinter(QStringLiteral("Printing failed: the fake printer refused page %1").arg(FPage + 1));
        FinishPage();
        ++FPage;
        StartPage();
    }
    void End() override
    {
        FinishPage();
        FPrinting = false;
        FJobs[FIndex].Ended = true;
    }
    void Abort() override
    {
        FCanvas.reset();
        FPainter.reset();
        FPrinting = false;
        FJobs[FIndex].Aborted = true;
    }
    bool Printing() const override { return FPrinting; }
    int PageNumber() const override { return FPage; }
    const TDeviceCaps& Caps() const override { return FCaps; }

private:
    void StartPage()
    {
        const int w = FSetup.KeepPageImages ? FCaps.PrintableWidth : 1;
        const int h = FSetup.KeepPageImages ? FCaps.PrintableHeight : 1;
        FImage = QImage(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
        FImage.fill(Qt::white);
        FPainter = std::make_unique<QPainter>(&FImage);
        FCanvas = std::make_unique<TPainterCanvas>(FPainter.get(), FCaps.PixelsPerInchY);
    }
    void FinishPage()
    {
        if (!FPainter)
            return;
        FCanvas.reset();
        FPainter->end();
        FPainter.reset();
        TFakeJob& job = FJobs[FIndex];
        ++job.PageCount;
        if (FSetup.KeepPageImages)
            job.Pages.append(FImage);
    }

    QList<TFakeJob>& FJobs;
    int FIndex;
    TFakePrinterSetup FSetup;
    TDeviceCaps FCaps;
    QImage FImage;
    std::unique_ptr<QPainter> FPainter;
    std::unique_ptr<TPainterCanvas> FCanvas;
    int FPage = 1;
    bool FPrinting = true;
};

class TFakePrinter : public TPrinterDevice {
public:
    TFakePrinter(const TFakePrinterSetup& setup, QList<TFakeJob>& jobs) : FSetup(setup), FJobs(jobs) {}
    QString Name() const override { return FSetup.Name; }
    QString Driver() const override { return QStringLiteral("fake"); }
    unsigned SupportedFields() const override { return FSetup.SupportedFields; }
    TDeviceMode DefaultMode() const override { return FSetup.Default; }
    TDeviceCaps Caps(const TDeviceMode& mode) const override
    {
        const QSize sheet = SheetOf(mode);
        TDeviceCaps caps;
        caps.PixelsPerInchX = FSetup.PixelsPerInchX;
        caps.PixelsPerInchY = FSetup.PixelsPerInchY;
        caps.PhysicalWidth = TenthsMmToPixels(sheet.width(), FSetup.PixelsPerInchX);
        caps.PhysicalHeight = TenthsMmToPixels(sheet.height(), FSetup.PixelsPerInchY);
        caps.PhysicalOffsetX = FSetup.MarginLeft;
        caps.PhysicalOffsetY = FSetup.MarginTop;
        caps.PrintableWidth = caps.PhysicalWidth - FSetup.MarginLeft - FSetup.MarginRight;
        caps.PrintableHeight = caps.PhysicalHeight - FSetup.MarginTop - FSetup.MarginBottom;
        return caps;
    }
    std::unique_ptr<TPrintJob> BeginJob(const QString& title, const TDeviceMode& mode, int copies) override
    {
        TFakeJob job;
        job.Title = title;
        job.Mode = mode;
        job.Copies = copies;
        FJobs.append(job);
        return std::make_unique<TFakePrintJob>(FJobs, FSetup, Caps(mode));
    }

private:
    TFakePrinterSetup FSetup;
    QList<TFakeJob>& FJobs;
};

} // namespace

QSize PaperCodeSize(int code)
{
    for (const PaperEntry& p : kPapers)
        if (p.Code == code)
            return QSize(p.Width, p.Length);
    return QSize(0, 0);
}

int PaperCodeForSize(QSize tenthsMm)
{
    for (const PaperEntry& p : kPapers)
        if (std::abs(p.Width - tenthsMm.width()) <= 10 && std::abs(p.Length - tenthsMm.height()) <= 10)
            return p.Code;
    return 256;
}

// --- the service -------------------------------------------------------------------------

TPrinterService& TPrinterService::Instance()
{
    static TPrinterService service;
    return service;
}

void TPrinterService::EnsureDevices()
{
    if (FLoaded)
        return;
    FLoaded = true;
    FDevices.clear();
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& info : printers) {
        if (info.printerName() == defaultName)
            FDefaultIndex = int(FDevices.size());
        FDevices.push_back(std::make_unique<TSystemPrinter>(info));
    }
    FSystem = !FDevices.empty();
    if (!FSystem) {
        FDevices.push_back(std::make_unique<TVirtualPrinter>(*this));
        FDefaultIndex = 0;
    }
    FModes.clear();
    for (const auto& device : FDevices)
        FModes.push_back(device->DefaultMode());
}

void TPrinterService::InstallFakePrinters(const QList<TFakePrinterSetup>& setups)
{
    FDevices.clear();
    FModes.clear();
    FIndex = -1;
    FDefaultIndex = 0;
    FFakeJobs.clear();
    if (setups.isEmpty()) {
        FLoaded = false;
        return;
    }
    FLoaded = true;
    FSystem = true;
    for (const TFakePrinterSetup& setup : setups) {
        FDevices.push_back(std::make_unique<TFakePrinter>(setup, FFakeJobs));
        FModes.push_back(setup.Default);
    }
}

QStringList TPrinterService::Printers()
{
    EnsureDevices();
    QStringList names;
    for (const auto& device : FDevices)
        names << device->Name();
    return names;
}

bool TPrinterService::HasSystemPrinters()
{
    EnsureDevices();
    return FSystem;
}

int TPrinterService::EffectiveIndex()
{
    EnsureDevices();
    return FIndex >= 0 && FIndex < int(FDevices.size()) ? FIndex : FDefaultIndex;
}

int TPrinterService::PrinterIndex() { return EffectiveIndex(); }

void TPrinterService::SetPrinterIndex(int index)
{
    EnsureDevices();
    FIndex = index >= 0 && index < int(FDevices.size()) ? index : -1;
}

QString TPrinterService::PrinterName() { return Current().Name(); }

TPrinterDevice& TPrinterService::Current() { return *FDevices[std::size_t(EffectiveIndex())]; }

TDeviceMode TPrinterService::DeviceMode() { return FModes[std::size_t(EffectiveIndex())]; }

void TPrinterService::SetDeviceMode(const TDeviceMode& mode)
{
    const std::size_t i = std::size_t(EffectiveIndex());
    const unsigned supported = FDevices[i]->SupportedFields();
    TDeviceMode& current = FModes[i];
    // A field the device does not support keeps its value.
    if (supported & TDeviceMode::DM_ORIENTATION)
        current.Orientation = mode.Orientation == 2 ? 2 : 1;
    if (supported & TDeviceMode::DM_PAPERSIZE)
        current.PaperSize = mode.PaperSize;
    if (supported & TDeviceMode::DM_PAPERWIDTH)
        current.PaperWidth = mode.PaperWidth;
    if (supported & TDeviceMode::DM_PAPERLENGTH)
        current.PaperLength = mode.PaperLength;
    if (supported & TDeviceMode::DM_DEFAULTSOURCE)
        current.DefaultSource = mode.DefaultSource;
    if (supported & TDeviceMode::DM_DUPLEX)
        current.Duplex = mode.Duplex;
    current.Fields |= mode.Fields & supported;
}

TDeviceCaps TPrinterService::Capabilities() { return Current().Caps(DeviceMode()); }

std::unique_ptr<TPrintJob> TPrinterService::BeginJob(const QString& title)
{
    return Current().BeginJob(title, DeviceMode(), FCopies);
}

} // namespace vorel
