#pragma once
// Shared pieces of the frame tests: a fake printer with known resolution and
// unprintable area, services that install it, and a small print component
// whose PrepareReport draws on MFCanvas.

#include "frame/user_interface.h"
#include "frame/print_component.h"
#include "graphics/printer.h"
#include "graphics/metafile_canvas.h"

#include <QStringList>
#include <functional>

namespace vorel::test {

// A Letter printer at 600 x 300 dpi (different on purpose, so an axis
// mix-up shows), with odd unprintable strips so that truncating and
// rounding divisions give different results. Its sheet: 2159 x 2794 tenths
// of a mm = 5100 x 3300 printer pixels.
//   page        96 * 5100 / 600 = 816,  96 * 3300 / 300 = 1056
//   left        96 * 103 / 600 = 16.48 -> 16
//   top         96 * 77 / 300 = 24.64 -> 24
//   right       816 - 16 - 96 * (5100 - 103 - 200) / 600 (767.52 -> 767) = 33
//   bottom      1056 - 24 - 96 * (3300 - 77 - 83) / 300 (1004.8 -> 1004) = 28
inline TFakePrinterSetup FakeLetterPrinter()
{
    TFakePrinterSetup setup;
    setup.Name = QStringLiteral("Fake LaserJet");
    setup.PixelsPerInchX = 600;
    setup.PixelsPerInchY = 300;
    setup.MarginLeft = 103;
    setup.MarginTop = 77;
    setup.MarginRight = 200;
    setup.MarginBottom = 83;
    setup.Default = TDeviceMode{TDeviceMode::DM_ORIENTATION | TDeviceMode::DM_PAPERSIZE | TDeviceMode::DM_DEFAULTSOURCE,
                               1, 1, 2794, 2159, 7, 1};
    return setup;
}

inline TFakePrinterSetup FakeInkjet()
{
    TFakePrinterSetup setup;
    setup.Name = QStringLiteral("Office Inkjet");
    return setup;
}

// Installs fake printers for the lifetime of a test; the system's come back after.
class ScopedFakePrinters {
public:
    explicit ScopedFakePrinters(const QList<TFakePrinterSetup>& setups = {FakeLetterPrinter(), FakeInkjet()})
    {
        TPrinterService::Instance().InstallFakePrinters(setups);
    }
    ~ScopedFakePrinters() { TPrinterService::Instance().InstallFakePrinters({}); }
};

inline TDeviceMode CurrentDeviceMode()
{
    return TPrinterService::Instance().DeviceMode();
}

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
