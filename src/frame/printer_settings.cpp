#include "frame/printer_settings.h"

#include "foundation/language/language.h"
#include "frame/print_component.h"

#include <QFileInfo>

namespace vorel {

void RaiseNoPrinter(int lang)
{
    throw EKVXNoPrinterError(GetString(lang, KVX_NO_PRINTER_TEXT_ID));
}

QString DriverFileName(const QString& driver)
{
    return QFileInfo(driver).fileName().left(63);
}

// --- TKVXPageMargins ----------------------------------------------------------------------

void TKVXPageMargins::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TKVXPageMargins*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FByDefault = other->FByDefault;
    FLeft = other->FLeft;
    FTop = other->FTop;
    FRight = other->FRight;
    FBottom = other->FBottom;
}

// --- TKVXPrinter ---------------------------------------------------------------------------

TKVXPrinter::TKVXPrinter(QObject* owner) : TPersistent(owner), FMargins(new TKVXPageMargins(this))
{
    SetPaperSize(psDefault);
}

TKVXPrinter::~TKVXPrinter() = default;

namespace {
int LanguageOf(const QObject* owner)
{
    if (const auto* component = qobject_cast<const TKVPrintBaseComponent*>(owner))
        return component->GetLanguageShift();
    return 0;
}
} // namespace

TDeviceCaps TKVXPrinter::Caps()
{
    return TPrinterService::Instance().Capabilities();
}

void TKVXPrinter::CheckInstalledPrinter() const
{
    if (!TPrinterService::Instance().HasSystemPrinters())
        RaiseNoPrinter(LanguageOf(parent()));
}

void TKVXPrinter::SetPrinterIndex(int value)
{
    if (value == FPrinterIndex)
        return;
    FPrinterIndex = value;
    TPrinterService::Instance().SetPrinterIndex(value);
}

void TKVXPrinter::SetPrinterName(const QString& value)
{
    if (value == FPrinterName)
        return;
    FPrinterName = value;
    SetPrinterIndex(int(TPrinterService::Instance().Printers().indexOf(value)));
}

void TKVXPrinter::SetMargins(const TKVXPageMargins* value)
{
    if (value && value != FMargins)
        FMargins->Assign(value);
}

TPaperMetrics TKVXPrinter::PrinterPaper(const TDeviceCaps& m)
{
    // The printer's sheet as it lies (its orientation applied), in 0.1 mm.
    return {DevicePixelsToTenthsOfMm(m.PhysicalWidth, m.PixelsPerInchX),
            DevicePixelsToTenthsOfMm(m.PhysicalHeight, m.PixelsPerInchY)};
}

TPaperMetrics TKVXPrinter::PaperFor(TKVXPaperSize size) const
{
    if (size == psDefault)
        return PrinterPaper(Caps());
    TPaperMetrics paper = constKVXPaperSizeMetrics[size_t(size)];
    // The table lists each paper upright; a landscape setting keeps its
    // pages turned whichever of paper and orientation was set last.
    if (FOrientation == spoLandscape && size != psCustom)
        std::swap(paper.Width, paper.Height);
    return paper;
}

void TKVXPrinter::SetPaperSize(TKVXPaperSize size)
{
    if (int(size) < 0 || int(size) >= KVX_PAPER_SIZE_COUNT)
        return;
    const TPaperMetrics paper = PaperFor(size);
    FPaperSizeWidth = paper.Width;
    FPaperSizeHeight = paper.Height;
    FPaperSize = size;
}

int TKVXPrinter::GetPaperSizeWidth()
{
    // Only the dimension read is re-applied, so that a custom height set
    // before the width survives reading the width.
    if (FPaperSizeWidth < 1)
        FPaperSizeWidth = PaperFor(FPaperSize).Width;
    return FPaperSizeWidth;
}

int TKVXPrinter::GetPaperSizeHeight()
{
    if (FPaperSizeHeight < 1)
        FPaperSizeHeight = PaperFor(FPaperSize).Height;
    return FPaperSizeHeight;
}

void TKVXPrinter::SetOrientation(TKVXPrinterOrientation value)
{
    // The sheet lies the way the orientation says: landscape wider than
    // tall, portrait taller than wide, whatever was set before. Swapping
    // only on a change from portrait left a form that stores just
    // "Orientation = spoLandscape" (its paper set first, upright) on
    // portrait pages; a form that stores the turned size as well keeps it.
    // The default orientation leaves the sheet as it lies.
    if (value != spoDefault) {
        const int width = GetPaperSizeWidth();
        const int height = GetPaperSizeHeight();
        if (width > 0 && height > 0 && (value == spoLandscape) == (width < height)) {
            FPaperSizeWidth = height;
            FPaperSizeHeight = width;
        }
    }
    FOrientation = value;
}

int TKVXPrinter::GetScreenPPI()
{
    return GetScreenPixelsPerInch();
}

int TKVXPrinter::GetPixelsPerInchX() const
{
    return Caps().PixelsPerInchX;
}

int TKVXPrinter::GetPixelsPerInchY() const
{
    return Caps().PixelsPerInchY;
}

int TKVXPrinter::GetPageWidth() const
{
    return PageWidthFromMetrics(Caps(), GetScreenPPI());
}

int TKVXPrinter::GetPageHeight() const
{
    return PageHeightFromMetrics(Caps(), GetScreenPPI());
}

int TKVXPrinter::GetPageOffsetLeft() const
{
    return PageOffsetLeft(Caps(), FMargins->Values(), GetScreenPPI());
}

int TKVXPrinter::GetPageOffsetRight() const
{
    return PageOffsetRight(Caps(), FMargins->Values(), GetScreenPPI());
}

int TKVXPrinter::GetPageOffsetTop() const
{
    return PageOffsetTop(Caps(), FMargins->Values(), GetScreenPPI());
}

int TKVXPrinter::GetPageOffsetBottom() const
{
    return PageOffsetBottom(Caps(), FMargins->Values(), GetScreenPPI());
}

int TKVXPrinter::GetPaperWidthPixels()
{
    // psDefault follows the printer's paper (the settings were applied to
    // it before preparing), so page and offsets come from one sheet.
    const int tenths = FPaperSize == psDefault ? PaperFor(psDefault).Width : GetPaperSizeWidth();
    return TenthsOfMmToReportPixels(tenths, GetScreenPPI());
}

int TKVXPrinter::GetPaperHeightPixels()
{
    const int tenths = FPaperSize == psDefault ? PaperFor(psDefault).Height : GetPaperSizeHeight();
    return TenthsOfMmToReportPixels(tenths, GetScreenPPI());
}

TPageGeometry TKVXPrinter::GetPageGeometry()
{
    const TDeviceCaps m = Caps();
    const int s = GetScreenPPI();
    const TMarginValues margins = FMargins->Values();
    TPageGeometry g;
    if (FPaperSize == psDefault) {
        const TPaperMetrics paper = PrinterPaper(m);
        g.Width = TenthsOfMmToReportPixels(paper.Width, s);
        g.Height = TenthsOfMmToReportPixels(paper.Height, s);
    } else {
        g.Width = TenthsOfMmToReportPixels(GetPaperSizeWidth(), s);
        g.Height = TenthsOfMmToReportPixels(GetPaperSizeHeight(), s);
    }
    g.OffsetLeft = PageOffsetLeft(m, margins, s);
    g.OffsetTop = PageOffsetTop(m, margins, s);
    g.OffsetRight = PageOffsetRight(m, margins, s);
    g.OffsetBottom = PageOffsetBottom(m, margins, s);
    return g;
}

void TKVXPrinter::GetPrinterSettings(TPrinterService& printer)
{
    const TPrinterDevice& device = printer.Current();
    FDevice = device.Name();
    FPort = device.Port();
    FDriver = DriverFileName(device.Driver());

    const TDeviceMode mode = printer.DeviceMode();
    const TDeviceCaps m = printer.Capabilities();
    FPaperSize = psDefault;
    if (mode.Fields & TDeviceMode::DM_PAPERSIZE)
        FPaperSize = PaperSizeFromCode(mode.PaperSize);

    // The printer's sheet as it lies and its unprintable strips, in 0.1 mm.
    const TPaperMetrics paper = PrinterPaper(m);
    FPaperSizeWidth = paper.Width;
    FPaperSizeHeight = paper.Height;
    FMargins->SetLeft(DevicePixelsToTenthsOfMm(m.PhysicalOffsetX, m.PixelsPerInchX));
    FMargins->SetTop(DevicePixelsToTenthsOfMm(m.PhysicalOffsetY, m.PixelsPerInchY));

    FOutputBin = sbFirst;
    if (mode.Fields & TDeviceMode::DM_DEFAULTSOURCE)
        FOutputBin = BinFromCode(mode.DefaultSource);

    // The sizes above already lie as the printer's paper does, so the
    // orientation is taken as it stands, without the swap of SetOrientation.
    const bool landscape = (mode.Fields & TDeviceMode::DM_ORIENTATION) && mode.Orientation == 2;
    FOrientation = landscape ? spoLandscape : spoPortrait;

    if ((mode.Fields & TDeviceMode::DM_DUPLEX) && mode.Duplex >= int(sdDefault) && mode.Duplex <= int(sdVertical))
        FDuplex = TKVXDuplex(mode.Duplex);
}

void TKVXPrinter::SetPrinterSettings(TPrinterService& printer)
{
    try {
        const unsigned supported = printer.Current().SupportedFields();
        TDeviceMode mode = printer.DeviceMode();
        if (FPaperSize == psCustom) {
            // The custom size travels in 0.1 mm, the device mode's own unit.
            mode.PaperWidth = GetPaperSizeWidth();
            mode.PaperLength = GetPaperSizeHeight();
            mode.Fields |= TDeviceMode::DM_PAPERWIDTH | TDeviceMode::DM_PAPERLENGTH;
            if (supported & TDeviceMode::DM_PAPERSIZE) {
                mode.PaperSize = constKVXPaperTranslate[size_t(psCustom)];
                mode.Fields |= TDeviceMode::DM_PAPERSIZE;
            }
        } else if (FPaperSize != psDefault && (supported & TDeviceMode::DM_PAPERSIZE)) {
            mode.PaperSize = constKVXPaperTranslate[size_t(FPaperSize)];
            mode.Fields |= TDeviceMode::DM_PAPERSIZE;
        }
        if (FOutputBin != sbDefault && (supported & TDeviceMode::DM_DEFAULTSOURCE)) {
            mode.DefaultSource = BinCode(FOutputBin);
            mode.Fields |= TDeviceMode::DM_DEFAULTSOURCE;
        }
        if (FOrientation != spoDefault && (supported & TDeviceMode::DM_ORIENTATION)) {
            mode.Orientation = FOrientation == spoPortrait ? 1 : 2;
            mode.Fields |= TDeviceMode::DM_ORIENTATION;
        }
        if (FDuplex != sdDefault && (supported & TDeviceMode::DM_DUPLEX)) {
            mode.Duplex = int(FDuplex);
            mode.Fields |= TDeviceMode::DM_DUPLEX;
        }
        printer.SetDeviceMode(mode);
    } catch (const EKVXError&) {
        // Settings that cannot reach a printer are simply not applied.
    }
}

void TKVXPrinter::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TKVXPrinter*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    // The index is copied without selecting the printer again: the source
    // already did.
    FPrinterIndex = other->FPrinterIndex;
    FPrinterName = other->FPrinterName;
    FMargins->Assign(other->FMargins);
    FPaperSize = other->FPaperSize;
    FPaperSizeWidth = other->FPaperSizeWidth;
    FPaperSizeHeight = other->FPaperSizeHeight;
    FOrientation = other->FOrientation;
    FOutputBin = other->FOutputBin;
    FDuplex = other->FDuplex;
    FCopies = other->FCopies;
    FCollate = other->FCollate;
    FDevice = other->FDevice;
    FDriver = other->FDriver;
    FPort = other->FPort;
}

} // namespace vorel
