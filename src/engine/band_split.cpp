// A band taller than the free space of an empty page or column: moving it
// cannot help, and painted whole it would run over the page footer and off
// the sheet. It is printed in parts instead, one part a page, each clipped
// to its page's free space:
//   - a text control that crosses the cut keeps the lines that fit; the
//     rest of its text carries over to the top of the next part;
//   - a control that lies wholly below the cut moves to the next part,
//     keeping its distance from the cut;
//   - any other control that crosses the cut (a picture, a shape, rotated
//     text) stays on the part where it begins, clipped at the cut.
// A band that keeps its design height continues with what is left of that
// height while some control goes on (empty space at its bottom is not
// carried to a new page); a stretching band with what its remaining
// controls need.
//
// Every control's visibility, place, height and part text are put back
// afterwards; the band counts as printed once (one line number).

#include "engine/generation_p.h"

#include "frame/page_list.h"
#include "graphics/canvas.h"
#include "graphics/metafile_canvas.h"
#include "model/image_control.h"
#include "model/text_controls.h"

#include <vector>

namespace vorel {

namespace {

// A page holding at least one part more than this is a band gone wrong
// (a control that never fits); the rest is painted on the last part.
constexpr int kMaxParts = 10000;

// What the parts change on the band and its controls, put back at the end.
class TPartState {
public:
    explicit TPartState(TKVXBand* band)
        : FBand(band), FBandHeight(band->Height()), FDataRecords(band->Report() && band->Report()->DataRecords())
    {
        for (TKVXControl* control : band->Objects())
            FControls.push_back({control, control->Visible(), control->Top(), control->Height()});
    }
    ~TPartState()
    {
        if (TKVReport* report = FBand->Report())
            report->SetDataRecords(FDataRecords);
        FBand->SetHeight(FBandHeight);
        for (const TSaved& saved : FControls) {
            saved.Control->SetVisible(saved.Visible);
            saved.Control->SetTop(saved.Top);
            saved.Control->SetHeight(saved.Height);
            if (TKVXLabel* label = saved.Control->AsLabel())
                label->ClearPartText();
        }
    }
    TPartState(const TPartState&) = delete;
    TPartState& operator=(const TPartState&) = delete;

private:
    struct TSaved {
        TKVXControl* Control;
        bool Visible;
        int Top;
        int Height;
    };
    TKVXBand* FBand;
    int FBandHeight;
    bool FDataRecords; // a band's data is recorded with its first part only
    std::vector<TSaved> FControls;
};

// A control that goes on to the next part.
struct TCarried {
    TKVXControl* Control;
    int Top;    // report pixels from the next part's top
    int Height; // its design height there
    bool HasRest;
    QString Rest; // a text control's lines still to print
};

// How far a control reaches below its band's top in this part (report
// pixels): a stretching band's text controls as tall as their text.
int Extent(TCanvas& canvas, TKVXBand* band, TKVXControl* control)
{
    if (!band->Stretch() || qobject_cast<TKVXImage*>(control))
        return control->Top() + control->Height();
    TRect probe = Bounds(0, 0, control->Width(), 1 << 20);
    return control->Top() + control->Draw(canvas, probe, 0, DT_CALCRECT);
}

// Paints the band at the cursor, clipped to the free space.
void PaintPart(TKVReport& report, TKVXBand* band, int height)
{
    TCanvas& canvas = *report.MFCanvas();
    const int top = report.intCurHeight;
    const int bottom = report.intMaxPageHeight;
    const TPageInfo* page = report.CurrentPage();
    const int pageWidth = page ? page->PageWidth() : 1 << 20;
    canvas.SaveState();
    canvas.IntersectClipRect(Rect(0, top, pageWidth, bottom));
    try {
        report.intLastPageHeight = band->PrintBand(top, top + height, 0);
    } catch (...) {
        canvas.RestoreState();
        throw;
    }
    canvas.RestoreState();
    report.intCurHeight = std::min(bottom, top + height);
}

} // namespace

void PrintAcrossPages(TKVReport& report, TGenerationContext& /*context*/, TKVXBand* band, int height)
{
    TCanvas& canvas = *report.MFCanvas();
    const int lineNo = band->LineNo();
    const TPartState state(band);
    const bool stretch = band->Stretch();
    int remaining = band->Height(); // a fixed band's design height still to print
    for (int part = 0;; ++part) {
        const int available = report.intMaxPageHeight - report.intCurHeight;
        if (part > 0)
            height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
        if (height <= available || available <= 0 || part >= kMaxParts) {
            PaintPart(report, band, height);
            break;
        }
        // Cut the band at the free space: what stays, what goes on.
        std::vector<TCarried> carried;
        for (TKVXControl* control : band->Objects()) {
            if (!control->Visible() || !control->CanBePrinted())
                continue;
            const int top = control->Top();
            if (top >= available) {
                carried.push_back({control, top - available, control->Height(), false, QString()});
                control->SetVisible(false);
                continue;
            }
            if (Extent(canvas, band, control) <= available)
                continue;
            TKVXLabel* label = control->AsLabel();
            QString head, rest;
            // A continued text at the top of its part takes a line at least.
            if (label && label->SplitText(canvas, available - top, part > 0 && top == 0, head, rest)
                && !rest.isEmpty()) {
                label->SetPartText(head);
                carried.push_back({control, 0, std::max(0, control->Height() - (available - top)), true, rest});
            }
        }
        PaintPart(report, band, available);
        // Empty space at the band's bottom is not carried to a new page.
        if (carried.empty())
            break;
        report.NewPage(false);
        report.SetDataRecords(false);
        // The next part holds only what went on.
        for (TKVXControl* control : band->Objects()) {
            control->SetVisible(false);
            if (TKVXLabel* label = control->AsLabel())
                label->ClearPartText();
        }
        for (const TCarried& next : carried) {
            next.Control->SetVisible(true);
            next.Control->SetTop(next.Top);
            next.Control->SetHeight(next.Height);
            if (next.HasRest)
                next.Control->AsLabel()->SetPartText(next.Rest);
        }
        if (!stretch) {
            remaining -= available;
            band->SetHeight(std::max(0, remaining));
        }
    }
    band->SetLineNo(lineNo + 1); // one print, however many parts
}

} // namespace vorel
