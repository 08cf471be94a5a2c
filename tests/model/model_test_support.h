#pragma once
// Shared by the report model tests: the model's class registrations (which
// library start-up does not make yet) and a canvas that records what is
// drawn on it, with the pen, brush and font in force at each call.

#include "graphics/canvas.h"
#include "model/control_registry.h"

#include <QtGlobal>
#include <gtest/gtest.h>
#include <vector>

namespace vorel::testing {

// Silences Qt's warnings (the image decoders complain about broken
// pictures, which the tests feed them on purpose).
class QuietWarnings {
public:
    QuietWarnings() : FPrevious(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietWarnings() { qInstallMessageHandler(FPrevious); }
    QuietWarnings(const QuietWarnings&) = delete;
    QuietWarnings& operator=(const QuietWarnings&) = delete;

private:
    QtMessageHandler FPrevious;
};

inline void EnsureModelRegistered()
{
    static const bool done = [] {
        RegisterModelClasses();
        RegisterBuiltinControls();
        return true;
    }();
    (void)done;
}

struct DrawCall {
    enum Kind { Fill, Rectangle, RoundRect, Ellipse, Line, TextOut, Image };
    Kind What = Fill;
    TRect Rect;       // fills, shapes, image destinations
    TPoint From, To;  // lines
    QString Text;     // texts, at (X, Y)
    int X = 0, Y = 0;
    int Corner = 0;   // round rectangles
    TColor BrushColor = clWhite;
    TBrushStyle BrushStyle = bsSolid;
    TColor PenColor = clBlack;
    int PenWidth = 1;
    TPenStyle PenStyle = psSolid;
    QString FontName;
    int FontHeight = 0;
    int Orientation = 0; // tenths of a degree
};

class RecordingCanvas : public TCanvas {
public:
    std::vector<DrawCall> Calls;

    std::vector<DrawCall> Of(DrawCall::Kind kind) const
    {
        std::vector<DrawCall> out;
        for (const DrawCall& c : Calls)
            if (c.What == kind)
                out.push_back(c);
        return out;
    }
    QString AllText() const
    {
        QString t;
        for (const DrawCall& c : Calls)
            if (c.What == DrawCall::TextOut)
                t += c.Text;
        return t;
    }

protected:
    DrawCall Make(DrawCall::Kind kind)
    {
        DrawCall c;
        c.What = kind;
        c.BrushColor = Brush()->Color();
        c.BrushStyle = Brush()->Style();
        c.PenColor = Pen()->Color();
        c.PenWidth = Pen()->Width();
        c.PenStyle = Pen()->Style();
        c.FontName = Font()->Name();
        c.FontHeight = Font()->Height();
        c.Orientation = Font()->Orientation();
        return c;
    }
    void DoMoveTo(int x, int y) override { FPos = {x, y}; }
    void DoLineTo(int x, int y) override
    {
        DrawCall c = Make(DrawCall::Line);
        c.From = FPos;
        c.To = {x, y};
        Calls.push_back(c);
        FPos = {x, y};
    }
    void DoPolyline(const QList<TPoint>&) override {}
    void DoRectangle(const TRect& r) override
    {
        DrawCall c = Make(DrawCall::Rectangle);
        c.Rect = r;
        Calls.push_back(c);
    }
    void DoRoundRect(const TRect& r, int cornerWidth, int) override
    {
        DrawCall c = Make(DrawCall::RoundRect);
        c.Rect = r;
        c.Corner = cornerWidth;
        Calls.push_back(c);
    }
    void DoEllipse(const TRect& r) override
    {
        DrawCall c = Make(DrawCall::Ellipse);
        c.Rect = r;
        Calls.push_back(c);
    }
    void DoFillRect(const TRect& r) override
    {
        DrawCall c = Make(DrawCall::Fill);
        c.Rect = r;
        Calls.push_back(c);
    }
    void DoExtTextOut(int x, int y, unsigned, const TRect*, QStringView text, const int*) override
    {
        DrawCall c = Make(DrawCall::TextOut);
        c.X = x;
        c.Y = y;
        c.Text = text.toString();
        Calls.push_back(c);
    }
    void DoStretchImage(const TRect& dest, const QImage&, const TRect&) override
    {
        DrawCall c = Make(DrawCall::Image);
        c.Rect = dest;
        Calls.push_back(c);
    }
    void DoPlayMetafile(const TRect& dest, const TMetafile&) override
    {
        DrawCall c = Make(DrawCall::Image);
        c.Rect = dest;
        Calls.push_back(c);
    }
    void DoIntersectClipRect(const TRect&) override {}
    void DoSetClipRect(const TRect*) override {}
    void DoSaveState() override {}
    void DoRestoreState() override {}

private:
    TPoint FPos;
};

} // namespace vorel::testing
