#pragma once
// Shared pieces of the frame tests: a fake printer with known resolution and
// unprintable area, services that install it, and a small print component
// whose PrepareReport draws on MFCanvas.

#include "foundation/user_interface.h"
#include "frame/print_component.h"
#include "frame/printer_device.h"
#include "graphics/metafile_canvas.h"

#include <QStringList>
#include <functional>

namespace vorel::test {

// 8.5 x 11 in at 600 x 300 dpi (different on purpose, so an axis mix-up
// shows), with odd unprintable strips so that truncating and rounding
// divisions give different results.
inline TPrinterMetrics FakePortraitMetrics()
{
    TPrinterMetrics m;
    m.PixelsPerInchX = 600;
    m.PixelsPerInchY = 300;
    m.PhysicalWidth = 5101;  // 96 * 5101 / 600 = 816.16 -> 816
    m.PhysicalHeight = 3300; // 96 * 3300 / 300 = 1056
    m.PhysicalOffsetX = 103; // 96 * 103 / 600 = 16.48 -> 16
    m.PhysicalOffsetY = 77;  // 96 * 77 / 300 = 24.64 -> 24
    m.PrintableWidth = 4797; // 96 * 4797 / 600 = 767.52 -> 767; right strip 816 - 16 - 767 = 33
    m.PrintableHeight = 3140; // 96 * 3140 / 300 = 1004.8 -> 1004; bottom strip 1056 - 24 - 1004 = 28
    return m;
}

class TFakePrinter : public TPrinterDevice {
public:
    TFakePrinter()
    {
        Portrait = FakePortraitMetrics();
        Mode.Fields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_DEFAULTSOURCE | DM_DUPLEX;
        Mode.PaperSize = 1; // Letter
        Mode.PaperWidth = 2159;
        Mode.PaperLength = 2794;
        Mode.DefaultSource = 7;
        Mode.Orientation = DMORIENT_PORTRAIT;
        Mode.Duplex = 1;
    }

    QString DeviceName() const override { return QStringLiteral("Fake LaserJet"); }
    QString DriverName() const override { return Driver; }
    QString PortName() const override { return QStringLiteral("LPT1:"); }
    bool IsVirtual() const override { return false; }
    // Landscape turns the sheet: axes, strips and resolutions swap.
    TPrinterMetrics Metrics() const override
    {
        if (Mode.Orientation != DMORIENT_LANDSCAPE)
            return Portrait;
        TPrinterMetrics m = Portrait;
        std::swap(m.PixelsPerInchX, m.PixelsPerInchY);
        std::swap(m.PhysicalWidth, m.PhysicalHeight);
        std::swap(m.PhysicalOffsetX, m.PhysicalOffsetY);
        std::swap(m.PrintableWidth, m.PrintableHeight);
        return m;
    }
    TDeviceMode DeviceMode() const override { return Mode; }
    // Applies the marked fields the printer supports, as a driver would.
    void SetDeviceMode(const TDeviceMode& mode) override
    {
        Written.append(mode);
        const unsigned apply = mode.Fields & Mode.Fields;
        if (apply & DM_PAPERSIZE)
            Mode.PaperSize = mode.PaperSize;
        if (apply & DM_PAPERWIDTH)
            Mode.PaperWidth = mode.PaperWidth;
        if (apply & DM_PAPERLENGTH)
            Mode.PaperLength = mode.PaperLength;
        if (apply & DM_DEFAULTSOURCE)
            Mode.DefaultSource = mode.DefaultSource;
        if (apply & DM_ORIENTATION)
            Mode.Orientation = mode.Orientation;
        if (apply & DM_DUPLEX)
            Mode.Duplex = mode.Duplex;
    }

    TPrinterMetrics Portrait;
    TDeviceMode Mode;
    QString Driver = QStringLiteral("/usr/lib/cups/driver/FAKEJET.PPD");
    QList<TDeviceMode> Written;
};

class TFakePrinterServices : public TPrinterServices {
public:
    QStringList Printers() const override { return Names; }
    int PrinterIndex() const override { return Index; }
    void SetPrinterIndex(int index) override
    {
        Selections.append(index);
        if (index >= -1 && index < Names.size())
            Index = index;
    }
    TPrinterDevice* CurrentPrinter() override { return NoPrinterAtAll ? nullptr : &Printer; }

    QStringList Names{QStringLiteral("Fake LaserJet"), QStringLiteral("Office Inkjet")};
    int Index = -1;
    QList<int> Selections;
    bool NoPrinterAtAll = false;
    TFakePrinter Printer;
};

// Installs services for the lifetime of a test.
class ScopedPrinterServices {
public:
    explicit ScopedPrinterServices(TPrinterServices* services) { SetPrinterServices(services); }
    ~ScopedPrinterServices() { SetPrinterServices(nullptr); }
};

// A report that prints PagesPerBar pages on each of BarsToMake bars, writing one
// text per page, and lets the test look inside each page as it is made.
class TTestReport : public TKVPrintComponent {
    Q_OBJECT
public:
    explicit TTestReport(QObject* owner = nullptr) : TKVPrintComponent(owner) {}

    int PagesPerBar = 3;
    int BarsToMake = 1;
    int StartAt = 0;
    int CountBy = 1;
    int Passes = 0;
    bool SkipEndDoc = false;
    std::function<void(TTestReport&)> OnPageMade; // after each NewPage
    std::function<void(TTestReport&)> BeforeEndDoc;

    void PrepareReport() override
    {
        TKVPrintComponent::PrepareReport();
        ++Passes;
        BeginDoc();
        for (int bar = 0; bar < BarsToMake; ++bar) {
            for (int page = 0; page < PagesPerBar; ++page) {
                NewPage(bar > 0 && page == 0);
                MFCanvas()->TextOut(intCurHeight, intCurHeight, QStringLiteral("page %1 bar %2").arg(page).arg(bar));
                if (OnPageMade)
                    OnPageMade(*this);
            }
        }
        if (BeforeEndDoc)
            BeforeEndDoc(*this);
        if (!SkipEndDoc)
            EndDoc();
    }
    int GetPageNoCountBy() override { return CountBy; }
    int GetPageNoStartAt() override { return StartAt; }
};

// Records the progress calls the frame makes, without any output.
class TRecordingUi : public THeadlessUserInterface {
public:
    QStringList Calls;
    bool InsideModal = false;
    bool CreateProgressDlg(int lang, const QString& caption, const QString& status, const QString& cancelCaption,
                           int min, int max, int position) override
    {
        Calls << QStringLiteral("create %1|%2|%3|%4|%5|%6").arg(caption, status, cancelCaption).arg(min).arg(max).arg(position);
        Q_UNUSED(lang);
        return true;
    }
    bool UpdateProgressDlg(const QString& status, int position) override
    {
        Calls << QStringLiteral("update %1|%2%3").arg(status).arg(position).arg(InsideModal ? QStringLiteral(" (modal)") : QString());
        return true;
    }
    bool DestroyProgressDlg() override
    {
        Calls << QStringLiteral("destroy");
        return true;
    }
    void ShowModalCallBack(const TKVXCallBack& callback) override
    {
        Calls << QStringLiteral("modal");
        InsideModal = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{InsideModal};
        callback();
    }
};

class ScopedUserInterface {
public:
    explicit ScopedUserInterface(TKVXUserInterface* ui) { SetUserInterface(ui); }
    ~ScopedUserInterface() { SetUserInterface(nullptr); }
};

} // namespace vorel::test
