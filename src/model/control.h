#pragma once
// TKVXControl: the base of everything placed in a band (text, expressions,
// system data, rich text, shapes, images, barcodes) and of the band itself.
// It holds the geometry in report pixels relative to the band's top-left
// corner, the frame, font, background, highlights, vertical placement and
// print-when settings, and the current and previous value the generation
// engine keeps per control. Draw both measures (DT_CALCRECT) and paints.

#include "foundation/records/alignment.h"
#include "foundation/components/component.h"
#include "foundation/records/font.h"
#include "foundation/records/records.h"
#include "foundation/values/variant.h"
#include "frame/page_frame.h"
#include "graphics/canvas.h"
#include "model/event_names.h"
#include "model/print_when.h"

namespace vorel {

class TKVXExpression;
class TKVXLabel;

class TKVReport;
class TKVXBand;
class TDataSet;

class TKVXControlEnums {
    Q_GADGET
public:
    // Vertical placement of a control inside its printed band.
    enum TKVXObjectPosition { opDesigned, opTopBand, opBottomBand, opCenterBand };
    Q_ENUM(TKVXObjectPosition)
    Q_CLASSINFO("Doc.opDesigned", "At its Top within the band, as designed.")
    Q_CLASSINFO("Doc.opTopBand", "At the top of the printed band.")
    Q_CLASSINFO("Doc.opBottomBand", "At the bottom of the printed band, also when the band stretched.")
    Q_CLASSINFO("Doc.opCenterBand", "Centred vertically in the printed band.")
    // Designer state of a control.
    enum TKVXControlState { scsNothing, scsResize, scsMove };
    Q_ENUM(TKVXControlState)
    // Which resize handle the designer is dragging.
    enum TKVXControlResize { scrNone, scrLeftTop, scrTop, scrRightTop, scrRight, scrRightBottom, scrBottom, scrLeftBottom, scrLeft };
    Q_ENUM(TKVXControlResize)
};
using TKVXObjectPosition = TKVXControlEnums::TKVXObjectPosition;
using TKVXControlState = TKVXControlEnums::TKVXControlState;
using TKVXControlResize = TKVXControlEnums::TKVXControlResize;
using enum TKVXControlEnums::TKVXObjectPosition;
using enum TKVXControlEnums::TKVXControlState;
using enum TKVXControlEnums::TKVXControlResize;

// Text ids of the designer messages a control sends through the report's
// OnDesignerMessage hook.
constexpr int KVX_MSG_SELECTION_CHANGED = 11024;
constexpr int KVX_MSG_ELEMENT_ADDED = 11025;
// A control asks to be repainted (no window message of its own).
constexpr int KVX_MSG_REPAINT = 0;

// Handle colour while a control is moved or resized (grey, 0x808080).
constexpr TColor KVX_HANDLE_MOVING_COLOR = TColor(8421504);

class TKVXControl : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of everything placed in a band, and of the band itself: position and size, frame, "
                       "font, background, highlights and print-when settings.")
    Q_PROPERTY(QString DisplayName READ DisplayName WRITE SetDisplayName)
    Q_CLASSINFO("Doc.DisplayName", "The name the designer shows for the control.")
    Q_PROPERTY(vorel::TKVXFrame* Frame READ Frame WRITE SetFrame)
    Q_CLASSINFO("Doc.Frame", "Border lines with their pen, and a background picture.")
    Q_PROPERTY(vorel::TAlignments::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_CLASSINFO("Doc.Alignment", "The horizontal alignment of the text inside the control.")
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_CLASSINFO("Doc.Transparent", "True: no background is filled (unless a highlight's condition holds); False: "
                                   "filled with BackColor in BrushStyle.")
    Q_PROPERTY(vorel::TGraphicsEnums::TBrushStyle BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_CLASSINFO("Doc.BrushStyle", "The fill pattern of the background when it is filled.")
    Q_PROPERTY(vorel::TStringList* Comments READ Comments WRITE SetComments)
    Q_CLASSINFO("Doc.Comments", "Notes for the report's designers; never printed.")
    Q_PROPERTY(vorel::TKVXHighLights* HighLights READ GetHighLights WRITE SetHighLights)
    Q_CLASSINFO("Doc.HighLights", "Conditional formatting: the first item whose condition holds sets the font and "
                                  "the background colour.")
    Q_PROPERTY(vorel::TKVXControlEnums::TKVXObjectPosition ObjectPosition READ ObjectPosition WRITE SetObjectPosition)
    Q_CLASSINFO("Doc.ObjectPosition", "Where the control stands vertically in the printed band.")
    Q_PROPERTY(vorel::TColor BackColor READ BackColor WRITE SetBackColor)
    Q_CLASSINFO("Doc.BackColor", "The background colour when the control is not transparent.")
    Q_PROPERTY(vorel::TKVPrintWhen* KVPrintWhen READ KVPrintWhen WRITE SetKVPrintWhen)
    Q_CLASSINFO("Doc.KVPrintWhen", "When the control prints: conditions, repeated values and empty lines.")
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_CLASSINFO("Doc.Height", "The height in report pixels (1/96 inch).")
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_CLASSINFO("Doc.Width", "The width in report pixels.")
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_CLASSINFO("Doc.Left", "The distance from the band's left edge in report pixels; in a report several pages wide "
                            "it also decides the bar the control prints on.")
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_CLASSINFO("Doc.Top", "The distance from the band's top edge in report pixels.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font of the control's text; a control created in a report starts with the report's "
                            "Font.")
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_CLASSINFO("Doc.Hint", "A hint the designer shows over the control; never printed.")
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Doc.Visible", "False: the control is left out when the band prints (an application's event handler "
                               "may change it while the report prepares).")
public:
    // Inside a band (owner), the control links to the band and its report,
    // takes the report's font and the generic display name in the report's
    // language.
    Q_INVOKABLE explicit TKVXControl(QObject* owner = nullptr);
    // Leaves its band's Objects.
    ~TKVXControl() override;

    // --- published ---
    QString DisplayName() const { return FDisplayName; }
    // A hint that was empty or equal to the old name follows the new one.
    void SetDisplayName(const QString& value);
    TKVXFrame* Frame() const { return FFrame; }
    void SetFrame(const TKVXFrame* value); // copies, repaints
    TAlignment Alignment() const { return FAlignment; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle value);
    TStringList* Comments() const { return FComments; }
    void SetComments(const TStringList* value); // copies
    TKVXHighLights* GetHighLights() const { return FHighLights; }
    void SetHighLights(const TKVXHighLights* value); // copies
    TKVXObjectPosition ObjectPosition() const { return FObjectPosition; }
    void SetObjectPosition(TKVXObjectPosition value) { FObjectPosition = value; }
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor value);
    TKVPrintWhen* KVPrintWhen() const { return FKVPrintWhen; }
    void SetKVPrintWhen(const TKVPrintWhen* value); // copies
    // Geometry in report pixels, relative to the band's top-left corner.
    int Height() const { return FHeight; }
    void SetHeight(int value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    int Left() const { return FLeft; }
    void SetLeft(int value);
    int Top() const { return FTop; }
    void SetTop(int value);
    TFont* Font() const { return FFont; }
    void SetFont(const TFont* value); // copies
    QString Hint() const { return FHint; }
    void SetHint(const QString& value) { FHint = value; }
    // The run-time visibility the band looks at; an event handler may clear it.
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);

    // --- run-time ---
    TKVReport* Report() const { return FReport; }
    TKVXBand* GetParentBand() const { return FParentBand; }
    // Ignored for a band.
    void SetParentBand(TKVXBand* band);
    const Variant& GetCurValue() const { return FCurValue; }
    void SetCurValue(const Variant& value) { FCurValue = value; }
    const Variant& GetPrevValue() const { return FPrevValue; }
    void SetPrevValue(const Variant& value) { FPrevValue = value; }
    // The print-when conditions' result for the current record.
    bool CanBePrinted() const { return FCanBePrinted; }
    void SetCanBePrinted(bool value) { FCanBePrinted = value; }
    // A repeated value that its print-when settings suppress prints anyway
    // the next time the control paints: the engine sets this where the
    // settings ask for it (the first band of a new page or column, a group
    // change, a detail overflow); painting clears it.
    bool ForcePrint() const { return FForcePrint; }
    void SetForcePrint(bool value) { FForcePrint = value; }
    // The frame's pen width: the frame lines lie inside the control's rectangle.
    int FrameWidth() const { return FFrame->Width(); }
    // Whether the report is generating pages (ReportState at least rsPrepare):
    // only then values, highlights and print-when rules apply.
    bool IsGenerating() const;

    // The method names of the control's event handlers (the framework's
    // mouse and drag events a form may name); kept for the form only.
    TEventNames& EventNames() { return FEventNames; }
    const TEventNames& EventNames() const { return FEventNames; }

    // --- designer state ---
    bool Selected() const { return FSelected; }
    // Unselecting resets the state to scsNothing; selecting a band
    // unselects every control of the report.
    void SetSelected(bool value);
    TKVXControlState KVXControlState() const { return FControlState; }
    void SetKVXControlState(TKVXControlState value) { FControlState = value; }
    TKVXControlResize KVXControlResize() const { return FControlResize; }
    void SetKVXControlResize(TKVXControlResize value) { FControlResize = value; }

    // Appends the control to the target band's Objects, takes it out of its
    // old band's, and hands it to the target band as its owner.
    void MoveToBand(TKVXBand* band);
    // Position in the parent band's Objects, or -1.
    int GetControlIndex() const;
    // "Orders.Amount": the data set of the report's data manager whose name
    // (or caption) is "Orders", compared without regard to case, or none; a
    // name without a point: the report's DataSet.
    TDataSet* GetDatasetByName(const QString& name) const;

    // --- the virtual operations, in slot order ---
    virtual void SetAlignment(TAlignment value);
    // The current value for the current record; nothing in the base.
    virtual void UpdateCurValue();
    // Whether the current value differs from the previous one: true when
    // either is Empty or Null, else whether they differ.
    virtual bool ValueChanged();
    // Measures (flags has DT_CALCRECT) or paints the control into rect
    // (report pixels on the page). Returns the height it takes: Height +
    // 2 x frame width in the base, 0 for a suppressed repetition. When
    // painting, rect shrinks to the inside of the frame (not for a line).
    // tallestSoFar: the tallest height measured so far in the band.
    virtual int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags);
    // The control as a label-family control or as an expression control,
    // or nullptr: what qobject_cast answers, without walking the
    // meta-objects (the engine asks it of every control at every record).
    virtual TKVXLabel* AsLabel() { return nullptr; }
    virtual TKVXExpression* AsExpression() { return nullptr; }
    // Stands in for a painting nobody will see: the first pass of a
    // two-pass preparation only counts pages, so in a band that keeps its
    // height a control need not be placed and painted. Does what painting
    // does beyond the canvas and returns true; returns false when the
    // control has to be painted in full. The base returns false, so a
    // control class this library does not know keeps its whole Draw.
    virtual bool PaintUnseen();

    // Text drawing shared by the text controls: an empty text is one blank
    // (unless RemoveBlankLine); a rotated text is one line at rect's
    // top-left in the canvas's (rotated) font; otherwise the formatted text
    // drawing with the flags. Returns the height of the text.
    int DrawWrapText(TCanvas& canvas, const QString& text, int angle, unsigned flags, const TRect& rect);

    // Designer painting: Draw over the control's own bounds (relative to the
    // canvas origin, which is the band's top-left corner) with no flags, then
    // the eight handles when selected.
    void Paint(TCanvas& canvas);
    // The frame's repaint target calls this by name.
    Q_INVOKABLE void update();

protected:
    // Whether a repeated value is suppressed now: RepeatedValues off, the
    // value unchanged, the report generating.
    bool IsSuppressedRepetition();
    // Background: control font (or the winning highlight's), fill colour,
    // brush style; a transparent control without a winning highlight fills nothing.
    void PaintBackground(TCanvas& canvas, const TRect& rect);
    // The highlight that wins while generating (the first whose expression
    // is true), or nullptr; an expression that cannot be evaluated counts
    // as false.
    const TKVXHighLight* WinningHighLight();
    // What the base Draw does beyond the canvas when painting: the
    // highlights are evaluated (unless the repetition is suppressed).
    void PaintUnseenBackground();
    // Asks the designer (if any) to repaint this control.
    void Invalidate();
    // The report's language index for string lookups (0 without a report).
    int LanguageShift() const;
    // Whether this control is a TKVXLine (its content rectangle keeps the frame).
    virtual bool KeepsFrameInRect() const { return false; }

private:
    friend class TKVXBand;
    friend class TKVReport;
    void LinkToBand(TKVXBand* band); // owner, parent band and report

    QString FDisplayName;
    TKVXFrame* FFrame;
    TAlignment FAlignment = taLeftJustify;
    bool FTransparent = true;
    TBrushStyle FBrushStyle = bsSolid;
    TStringList* FComments;
    TKVXHighLights* FHighLights;
    TKVXObjectPosition FObjectPosition = opDesigned;
    TColor FBackColor = clWhite;
    TKVPrintWhen* FKVPrintWhen;
    int FHeight = 20; // report pixels
    int FWidth = 50;
    int FLeft = 10;
    int FTop = 40;
    TFont* FFont;
    QString FHint;
    bool FVisible = true;

    TEventNames FEventNames;

    TKVReport* FReport = nullptr;
    TKVXBand* FParentBand = nullptr;
    // Whether FParentBand lists this control in its Objects: a control that
    // its band owns but does not list yet (just created by a form reader)
    // joins the list without a search of it.
    bool FListed = false;
    Variant FCurValue = Variant::Null();
    Variant FPrevValue = Variant::Null();
    bool FCanBePrinted = true;
    bool FForcePrint = false;
    bool FSelected = false;
    TKVXControlState FControlState = scsNothing;
    TKVXControlResize FControlResize = scrNone;
};

// The first band among the children of the control's band's report, or none:
// what the classic "first child of the visual parent that is a band" gives.
TKVXBand* GetBandByControl(const TKVXControl* control);

} // namespace vorel
