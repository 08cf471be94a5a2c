#include "frame/printer_device.h"

#include <QLocale>

namespace vorel {

TPaperMetrics DeviceModePaper(const TDeviceMode& mode)
{
    const bool hasSize = mode.Has(DM_PAPERWIDTH) && mode.Has(DM_PAPERLENGTH) && mode.PaperWidth > 0
                         && mode.PaperLength > 0;
    const TKVXPaperSize named = PaperSizeFromCode(mode.PaperSize);
    const bool namedKnown = named != psDefault && named != psCustom;
    if (hasSize && (mode.PaperSize == DMPAPER_USER || !namedKnown))
        return {mode.PaperWidth, mode.PaperLength};
    if (namedKnown)
        return constKVXPaperSizeMetrics[size_t(named)];
    return {};
}

TKVXPaperSize TVirtualPrinter::LocaleDefaultPaper()
{
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? psLetter : psA4;
}

TVirtualPrinter::TVirtualPrinter(TKVXPaperSize paper)
{
    if (paper == psDefault || paper == psCustom)
        paper = psA4;
    const TPaperMetrics size = constKVXPaperSizeMetrics[size_t(paper)];
    FMode.Fields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_DEFAULTSOURCE | DM_DUPLEX;
    FMode.PaperSize = constKVXPaperTranslate[size_t(paper)];
    FMode.PaperWidth = size.Width;
    FMode.PaperLength = size.Height;
    FMode.DefaultSource = BinCode(sbAuto);
    FMode.Orientation = DMORIENT_PORTRAIT;
    FMode.Duplex = 1;
}

void TVirtualPrinter::SetDeviceMode(const TDeviceMode& mode)
{
    if (mode.Has(DM_PAPERSIZE)) {
        FMode.PaperSize = mode.PaperSize;
        // A named paper brings its own size, as a driver fills it in.
        const TKVXPaperSize named = PaperSizeFromCode(mode.PaperSize);
        if (named != psDefault && named != psCustom) {
            FMode.PaperWidth = constKVXPaperSizeMetrics[size_t(named)].Width;
            FMode.PaperLength = constKVXPaperSizeMetrics[size_t(named)].Height;
        }
    }
    if (mode.Has(DM_PAPERWIDTH) && mode.PaperWidth > 0)
        FMode.PaperWidth = mode.PaperWidth;
    if (mode.Has(DM_PAPERLENGTH) && mode.PaperLength > 0)
        FMode.PaperLength = mode.PaperLength;
    if (mode.Has(DM_DEFAULTSOURCE))
        FMode.DefaultSource = mode.DefaultSource;
    if (mode.Has(DM_ORIENTATION) && (mode.Orientation == DMORIENT_PORTRAIT || mode.Orientation == DMORIENT_LANDSCAPE))
        FMode.Orientation = mode.Orientation;
    if (mode.Has(DM_DUPLEX) && mode.Duplex >= 1 && mode.Duplex <= 3)
        FMode.Duplex = mode.Duplex;
}

TPrinterMetrics TVirtualPrinter::Metrics() const
{
    TPaperMetrics paper = DeviceModePaper(FMode);
    if (paper.Width <= 0 || paper.Height <= 0)
        paper = constKVXPaperSizeMetrics[size_t(psA4)];
    if (FMode.Orientation == DMORIENT_LANDSCAPE)
        std::swap(paper.Width, paper.Height);
    TPrinterMetrics m;
    m.PixelsPerInchX = kResolution;
    m.PixelsPerInchY = kResolution;
    m.PhysicalWidth = MulDivRound(paper.Width, kResolution, kTenthsOfMmPerInch);
    m.PhysicalHeight = MulDivRound(paper.Height, kResolution, kTenthsOfMmPerInch);
    // No unprintable area: the whole sheet is printable.
    m.PrintableWidth = m.PhysicalWidth;
    m.PrintableHeight = m.PhysicalHeight;
    return m;
}

namespace {
TPrinterServices* gServices = nullptr;

TVirtualPrinterServices& DefaultServices()
{
    static TVirtualPrinterServices services;
    return services;
}
} // namespace

TPrinterServices* PrinterServices()
{
    return gServices ? gServices : &DefaultServices();
}

void SetPrinterServices(TPrinterServices* services)
{
    gServices = services;
}

} // namespace vorel
