#pragma once
// Printer services on Qt PrintSupport: the printer list and the current
// printer, device capabilities, a device-mode equivalent read and written,
// and print jobs with a canvas. When the system has no printer, a virtual
// printer stands in (A4 or Letter by locale, 600 dpi, no unprintable area;
// printing to it writes a PDF file), so reports prepare and export on a
// headless server. Tests install fake printers with chosen capabilities.

#include "foundation/values/errors.h"
#include "graphics/canvas.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace vorel {

// A failure of the printing layer (a job that cannot start or a device
// that refuses a page). Printing code catches it to end the job.
class EPrinter : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// The device-mode record: which fields are set, and their values in the
// classic units and codes.
struct TDeviceMode {
    static constexpr unsigned DM_ORIENTATION = 0x0001;
    static constexpr unsigned DM_PAPERSIZE = 0x0002;
    static constexpr unsigned DM_PAPERLENGTH = 0x0004;
    static constexpr unsigned DM_PAPERWIDTH = 0x0008;
    static constexpr unsigned DM_DEFAULTSOURCE = 0x0200;
    static constexpr unsigned DM_DUPLEX = 0x1000;

    unsigned Fields = 0; // the DM_* fields that hold a value
    int Orientation = 1; // 1 portrait, 2 landscape
    int PaperSize = 9; // paper code (9 = A4, 1 = Letter, 256 = custom)
    int PaperLength = 2970; // 0.1 mm, used for the custom paper code
    int PaperWidth = 2100; // 0.1 mm
    int DefaultSource = 7; // bin code (7 = automatic)
    int Duplex = 1; // 1 none, 2 and 3 the two duplex modes
    friend bool operator==(const TDeviceMode&, const TDeviceMode&) = default;
};

// Paper size of a paper code in 0.1 mm, portrait; {0, 0} for unknown codes.
QSize PaperCodeSize(int code);
// The paper code of a portrait size in 0.1 mm (within 1 mm), or 256 (custom).
int PaperCodeForSize(QSize tenthsMm);

// Device capabilities, all in printer pixels except the resolution.
struct TDeviceCaps {
    int PixelsPerInchX = 600;
    int PixelsPerInchY = 600;
    int PhysicalWidth = 0; // the whole sheet
    int PhysicalHeight = 0;
    int PhysicalOffsetX = 0; // unprintable strip at the left
    int PhysicalOffsetY = 0; // and at the top
    int PrintableWidth = 0;
    int PrintableHeight = 0;
    friend bool operator==(const TDeviceCaps&, const TDeviceCaps&) = default;
};

// A print job: pages drawn on a canvas whose origin is the printable
// area's top-left corner, in printer pixels.
class TPrintJob {
public:
    virtual ~TPrintJob() = default;
    virtual TCanvas& Canvas() = 0;
    virtual void NewPage() = 0;
    virtual void End() = 0;
    virtual void Abort() = 0;
    virtual bool Printing() const = 0;
    virtual int PageNumber() const = 0; // from 1
    virtual const TDeviceCaps& Caps() const = 0;
};

// One printer the service knows.
class TPrinterDevice {
public:
    virtual ~TPrinterDevice() = default;
    virtual QString Name() const = 0;
    virtual QString Driver() const { return QString(); }
    virtual QString Port() const { return QString(); }
    // The fields this device lets a device mode set.
    virtual unsigned SupportedFields() const = 0;
    virtual TDeviceMode DefaultMode() const = 0;
    virtual TDeviceCaps Caps(const TDeviceMode& mode) const = 0;
    virtual std::unique_ptr<TPrintJob> BeginJob(const QString& title, const TDeviceMode& mode, int copies) = 0;
};

// What a fake printer is like, and what was printed on it.
struct TFakePrinterSetup {
    QString Name = QStringLiteral("Fake printer");
    int PixelsPerInchX = 300;
    int PixelsPerInchY = 300;
    int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0; // printer pixels
    unsigned SupportedFields = TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE
        | TDeviceMode::DM_PAPERLENGTH | TDeviceMode::DM_PAPERWIDTH | TDeviceMode::DM_DEFAULTSOURCE
        | TDeviceMode::DM_DUPLEX;
    TDeviceMode Default{TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE, 1, 9, 2970, 2100, 7, 1};
    bool KeepPageImages = true; // false: pages are counted, not kept
    bool FailOnPage = false; // NewPage raises EPrinter (tests of error handling)
};

struct TFakeJob {
    QString Title;
    TDeviceMode Mode;
    int Copies = 1;
    QList<QImage> Pages;
    int PageCount = 0;
    bool Ended = false;
    bool Aborted = false;
};

class TPrinterService {
public:
    static TPrinterService& Instance();

    // The printers: the system's, or the virtual printer when it has none
    // (or fake ones installed by a test).
    QStringList Printers();
    bool HasSystemPrinters();
    // The current printer: -1 selects the default one.
    int PrinterIndex();
    void SetPrinterIndex(int index);
    QString PrinterName();
    TPrinterDevice& Current();

    // The current printer's device mode; setting keeps only the fields the
    // device supports (others keep their values).
    TDeviceMode DeviceMode();
    void SetDeviceMode(const TDeviceMode& mode);
    TDeviceCaps Capabilities();
    // The copy count handed to the next job (printing makes copies itself
    // and sets 1).
    int Copies() const { return FCopies; }
    void SetCopies(int copies) { FCopies = std::max(1, copies); }

    std::unique_ptr<TPrintJob> BeginJob(const QString& title);

    // Where the virtual printer writes its PDF ("<title>.pdf" in the current
    // folder when empty).
    void SetVirtualOutputFile(const QString& fileName) { FVirtualOutput = fileName; }
    QString VirtualOutputFile() const { return FVirtualOutput; }

    // Tests: replace the printers with fakes; an empty list restores the
    // system's. Jobs printed on fakes are kept here.
    void InstallFakePrinters(const QList<TFakePrinterSetup>& setups);
    QList<TFakeJob>& FakeJobs() { return FFakeJobs; }

private:
    TPrinterService() = default;
    void EnsureDevices();
    int EffectiveIndex();

    std::vector<std::unique_ptr<TPrinterDevice>> FDevices;
    std::vector<TDeviceMode> FModes;
    bool FLoaded = false;
    bool FSystem = false;
    int FIndex = -1;
    int FDefaultIndex = 0;
    int FCopies = 1;
    QString FVirtualOutput;
    QList<TFakeJob> FFakeJobs;
};

// Logical pixels per inch of the screen: report pixels (always 96 here).
inline int GetScreenPixelsPerInch() { return kScreenPixelsPerInch; }

} // namespace vorel
