#pragma once
// What the printer and paper settings need of the system's printers: the
// printer list and the current printer, each printer's device capabilities
// and its device mode (read and written). The installed services default
// to the built-in virtual printer, which stands in when the system has no
// printer, so reports prepare and export on a headless server.
//
// This is the smallest interface TKVXPrinter needs; the printer services of
// graphics/ (Qt PrintSupport) are meant to be installed behind it.

#include "frame/paper_tables.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace vorel {

// Device-mode field flags (the classic DM_* values).
constexpr unsigned DM_ORIENTATION = 0x00000001;
constexpr unsigned DM_PAPERSIZE = 0x00000002;
constexpr unsigned DM_PAPERLENGTH = 0x00000004;
constexpr unsigned DM_PAPERWIDTH = 0x00000008;
constexpr unsigned DM_DEFAULTSOURCE = 0x00000200;
constexpr unsigned DM_DUPLEX = 0x00001000;
constexpr int DMORIENT_PORTRAIT = 1;
constexpr int DMORIENT_LANDSCAPE = 2;
constexpr int DMPAPER_USER = 256;

// The part of a printer's device mode Vorel reads and writes. Read from a
// printer, Fields names the fields it supports (with their current values);
// written to it, the fields named in Fields are applied and the others
// left as they are. A paper width and length given together (in 0.1 mm)
// define the paper when the paper code is DMPAPER_USER or unknown.
struct TDeviceMode {
    unsigned Fields = 0;
    int PaperSize = 0;     // DMPAPER code
    int PaperLength = 0;   // 0.1 mm
    int PaperWidth = 0;    // 0.1 mm
    int DefaultSource = 0; // DMBIN code
    int Orientation = DMORIENT_PORTRAIT;
    int Duplex = 1;        // 1 simplex, 2 horizontal, 3 vertical
    bool Has(unsigned field) const { return (Fields & field) != 0; }
    friend bool operator==(const TDeviceMode&, const TDeviceMode&) = default;
};

class TPrinterDevice {
public:
    virtual ~TPrinterDevice() = default;
    virtual QString DeviceName() const = 0;
    virtual QString DriverName() const = 0; // the driver file, path included
    virtual QString PortName() const = 0;
    // True for the stand-in that exists when no printer is installed.
    virtual bool IsVirtual() const = 0;
    // The device capabilities for the current device mode (orientation and
    // paper applied), in printer device pixels.
    virtual TPrinterMetrics Metrics() const = 0;
    virtual TDeviceMode DeviceMode() const = 0;
    virtual void SetDeviceMode(const TDeviceMode& mode) = 0;
};

// The system printer object.
class TPrinterServices {
public:
    virtual ~TPrinterServices() = default;
    // The names of the installed printers (the virtual printer is not one).
    virtual QStringList Printers() const = 0;
    // The selected printer's position in Printers(); -1 for the default one.
    virtual int PrinterIndex() const = 0;
    // -1 selects the default printer; an index outside the list is ignored.
    virtual void SetPrinterIndex(int index) = 0;
    // The selected printer; the virtual printer when none is installed.
    // nullptr only when there is no printer at all, not even a virtual one.
    virtual TPrinterDevice* CurrentPrinter() = 0;
    bool HasInstalledPrinter() const { return !Printers().isEmpty(); }
};

// A printer that exists only in Vorel: 600 dpi, no unprintable area, A4 or
// Letter by the locale's measurement system. It keeps the device mode it is
// given, so the report's paper, orientation and source apply to it.
class TVirtualPrinter : public TPrinterDevice {
public:
    static constexpr int kResolution = 600; // device pixels per inch
    // psA4 or psLetter (Letter where the locale measures in inches).
    static TKVXPaperSize LocaleDefaultPaper();
    explicit TVirtualPrinter(TKVXPaperSize paper = LocaleDefaultPaper());

    QString DeviceName() const override { return QStringLiteral("Vorel virtual printer"); }
    QString DriverName() const override { return QStringLiteral("vorel-virtual"); }
    QString PortName() const override { return QStringLiteral("FILE:"); }
    bool IsVirtual() const override { return true; }
    TPrinterMetrics Metrics() const override;
    TDeviceMode DeviceMode() const override { return FMode; }
    void SetDeviceMode(const TDeviceMode& mode) override;

private:
    TDeviceMode FMode;
};

// The services installed when none were set: no installed printer, the
// virtual printer as the current one.
class TVirtualPrinterServices : public TPrinterServices {
public:
    QStringList Printers() const override { return {}; }
    int PrinterIndex() const override { return -1; }
    void SetPrinterIndex(int) override {}
    TPrinterDevice* CurrentPrinter() override { return &FPrinter; }
    TVirtualPrinter& Printer() { return FPrinter; }

private:
    TVirtualPrinter FPrinter;
};

// The installed services (not owned); nullptr restores the default.
TPrinterServices* PrinterServices();
void SetPrinterServices(TPrinterServices* services);

// The paper a device mode describes, in 0.1 mm, before orientation:
// width and length when both are given and the code is DMPAPER_USER or
// unknown, else the paper of the code; psDefault's 0 x 0 when neither.
TPaperMetrics DeviceModePaper(const TDeviceMode& mode);

} // namespace vorel
