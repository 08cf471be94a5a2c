// The control base and the text controls on a recording canvas: measured
// heights, repeated-value suppression, background and highlights, the
// placement of aligned and rotated text, values of expressions and system
// data, print-when conditions and the designer's handles.
#include "model/model_test_support.h"

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "model/report.h"
#include "model/text_controls.h"
#include "support/locale_fixture.h"

#include <cmath>

namespace vorel {
namespace {

using testing::DrawCall;
using testing::RecordingCanvas;

class ControlDrawTest : public vorel::testing::EnglishUsLocaleTest {
protected:
    void SetUp() override
    {
        EnglishUsLocaleTest::SetUp();
        testing::EnsureModelRegistered();
        detail = report.GetBand(1);
    }
    template <typename T>
    T* Add()
    {
        return static_cast<T*>(detail->Object(detail->AddElement(&T::staticMetaObject)));
    }
    void Generating(bool on) { report.SetReportState(on ? rsPrepare : rsNone); }
    int LineHeight(const TFont& font) { return TTextMeasurer::Face(font)->Height(); }

    TKVReport report;
    TKVXBand* detail = nullptr;
    RecordingCanvas canvas;
};

TEST_F(ControlDrawTest, AFrameOfWidthTwoMeasuresTwentyFourAndShrinksTheContent)
{
    TKVXControl control;
    control.Frame()->SetWidth(2);
    TRect r = Bounds(10, 40, 50, 20);
    EXPECT_EQ(control.Draw(canvas, r, 0, DT_CALCRECT), 24);
    EXPECT_EQ(r, Bounds(10, 40, 50, 20)) << "measuring leaves the rectangle alone";
    EXPECT_TRUE(canvas.Calls.empty()) << "measuring paints nothing";
    EXPECT_EQ(control.Draw(canvas, r, 0, 0), 24);
    EXPECT_EQ(r, Rect(12, 42, 58, 58));
}

TEST_F(ControlDrawTest, BackgroundHighlightsAndTransparency)
{
    auto* label = Add<TKVXLabel>();
    label->SetBackColor(clYellow);
    TKVXHighLight* never = label->GetHighLights()->Add();
    never->SetExpression(QStringLiteral("1 = 0"));
    never->SetColor(clRed);
    TKVXHighLight* broken = label->GetHighLights()->Add();
    broken->SetExpression(QStringLiteral("NoSuchName + )"));
    broken->SetColor(clNavy);
    TKVXHighLight* first = label->GetHighLights()->Add();
    first->SetExpression(QStringLiteral("2 > 1"));
    first->SetColor(clLime);
    first->Font()->SetName(QStringLiteral("Courier New"));
    first->Font()->SetHeight(-40);
    TKVXHighLight* second = label->GetHighLights()->Add();
    second->SetExpression(QStringLiteral("1 = 1"));
    second->SetColor(clBlue);
    label->SetCurValue(Variant(QStringLiteral("x")));

    // In the designer no highlight is evaluated: a transparent control fills nothing.
    TRect r = Bounds(0, 0, 50, 20);
    label->Draw(canvas, r, 0, 0);
    EXPECT_TRUE(canvas.Of(DrawCall::Fill).empty());

    Generating(true);
    // Measuring evaluates no highlight: the big highlight font does not count.
    r = Bounds(0, 0, 50, 20);
    EXPECT_EQ(label->Draw(canvas, r, 0, DT_CALCRECT), LineHeight(*label->Font()) + 2);
    canvas.Calls.clear();
    r = Bounds(0, 0, 50, 20);
    label->Draw(canvas, r, 0, 0);
    auto fills = canvas.Of(DrawCall::Fill);
    ASSERT_EQ(fills.size(), 1u) << "the first true highlight fills even a transparent control";
    EXPECT_EQ(fills[0].BrushColor, clLime);
    EXPECT_EQ(fills[0].Rect, Bounds(0, 0, 50, 20));
    auto texts = canvas.Of(DrawCall::TextOut);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].FontName, u"Courier New") << "the winning highlight's font";

    // No highlight true: transparent fills nothing, opaque fills its back colour.
    first->SetExpression(QStringLiteral("1 = 2"));
    second->SetExpression(QString());
    canvas.Calls.clear();
    r = Bounds(0, 0, 50, 20);
    label->Draw(canvas, r, 0, 0);
    EXPECT_TRUE(canvas.Of(DrawCall::Fill).empty());
    label->SetTransparent(false);
    label->SetBrushStyle(bsCross);
    canvas.Calls.clear();
    r = Bounds(0, 0, 50, 20);
    label->Draw(canvas, r, 0, 0);
    fills = canvas.Of(DrawCall::Fill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].BrushColor, clYellow);
    EXPECT_EQ(fills[0].BrushStyle, bsCross);
}

TEST_F(ControlDrawTest, RepeatedValuesAreSuppressedOnlyWhileGenerating)
{
    auto* expression = Add<TKVXExpression>();
    expression->KVPrintWhen()->SetRepeatedValues(false);
    expression->SetStretch(false);
    Generating(true);
    QStringList printed;
    for (const char* value : {"A", "A", "B", "A"}) {
        expression->SetCurValue(Variant(QString::fromLatin1(value)));
        canvas.Calls.clear();
        TRect r = Bounds(0, 0, 80, 20);
        const int measured = expression->Draw(canvas, r, 0, DT_CALCRECT);
        const int painted = expression->Draw(canvas, r, 0, 0);
        EXPECT_EQ(measured, painted);
        printed << canvas.AllText().trimmed() + QStringLiteral("/%1").arg(painted);
    }
    EXPECT_EQ(printed, QStringList({"A/22", "/0", "B/22", "A/22"}));
    // In the designer the display name prints whatever the values.
    Generating(false);
    canvas.Calls.clear();
    TRect r = Bounds(0, 0, 80, 20);
    EXPECT_EQ(expression->Draw(canvas, r, 0, 0), 22);
    EXPECT_EQ(canvas.AllText(), u"Expression");
}

TEST_F(ControlDrawTest, StretchReportsTheWrappedTextHeight)
{
    auto* label = Add<TKVXLabel>();
    label->SetDisplayName(QStringLiteral("one two three four five six seven eight nine ten"));
    label->SetWidth(60);
    label->Frame()->SetWidth(3);
    const int line = LineHeight(*label->Font());
    TRect r = Bounds(0, 0, 60, 20);
    const int stretched = label->Draw(canvas, r, 0, DT_CALCRECT);
    // Measured inside the frame: the same lines the painting draws.
    TRect inner = Bounds(3, 3, 54, 14);
    canvas.SetFont(label->Font());
    const int wrapped = canvas.DrawText(label->DisplayName(), inner, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    EXPECT_GT(wrapped, 2 * line);
    EXPECT_EQ(stretched, wrapped + 6);
    canvas.Calls.clear();
    r = Bounds(0, 0, 60, 20);
    EXPECT_EQ(label->Draw(canvas, r, 0, 0), stretched);
    EXPECT_EQ(int(canvas.Of(DrawCall::TextOut).size()), wrapped / line) << "painted as measured";
    label->SetStretch(false);
    r = Bounds(0, 0, 60, 20);
    EXPECT_EQ(label->Draw(canvas, r, 0, DT_CALCRECT), 20 + 6) << "Height + twice the frame width";
}

TEST_F(ControlDrawTest, AnEmptyValueKeepsOneLineUnlessBlankLinesAreRemoved)
{
    auto* expression = Add<TKVXExpression>();
    expression->SetCurValue(Variant(QString()));
    Generating(true);
    TRect r = Bounds(0, 0, 80, 20);
    EXPECT_EQ(expression->Draw(canvas, r, 0, DT_CALCRECT), LineHeight(*expression->Font()) + 2);
    expression->KVPrintWhen()->SetRemoveBlankLine(true);
    EXPECT_EQ(expression->Draw(canvas, r, 0, DT_CALCRECT), 2) << "twice the frame width";
}

TEST_F(ControlDrawTest, AngleOutsideTheCircleBecomesZero)
{
    TKVXLabel label;
    for (const auto& [given, kept] : {std::pair{400, 0}, {-1, 0}, {360, 0}, {359, 359}, {90, 90}, {0, 0}}) {
        label.SetAngle(given);
        EXPECT_EQ(label.Angle(), kept) << given;
    }
}

TEST_F(ControlDrawTest, TextOffsetsForEveryAlignmentAndRotation)
{
    // A control of 100 x 60 with frame width 1: the inside is W = 98, H = 58.
    // A text 40 wide and 12 high (tw, th).
    struct Row {
        TAlignment align;
        int angle;
        int x, y;
        const char* why;
    };
    const Row rows[] = {
        {taLeftJustify, 0, 0, 0, "top-left"},
        {taLeftJustify, 90, 0, 40, "upwards from y = tw"},
        {taLeftJustify, 180, 40, 12, "x = tw, y = th"},
        {taLeftJustify, 270, 12, 0, "x = th"},
        {taLeftJustify, 45, 0, 28, "y = trunc(40 sin 45)"},
        {taLeftJustify, 135, 28, 36, "x = -trunc(40 cos 135), y = 28 - trunc(12 cos 135)"},
        {taRightJustify, 0, 58, 0, "W - tw"},
        {taRightJustify, 90, 86, 40, "W - th"},
        {taRightJustify, 180, 98, 12, "W - trunc(th sin 180) = W"},
        {taRightJustify, 270, 98, 0, "nothing subtracted from 181 to 270"},
        {taRightJustify, 300, 78, 0, "W - trunc(tw cos 300)"},
        {taCenter, 0, 29, 0, "49 - 20"},
        {taCenter, 90, 43, 40, "49 - 6"},
        {taCenter, 180, 69, 12, "49 + 20"},
    };
    TKVXLabel label;
    label.SetWidth(100);
    label.SetHeight(60);
    for (const Row& row : rows) {
        label.SetAlignment(row.align);
        label.SetAngle(row.angle);
        const TPoint p = label.TextOffset(40, 12);
        EXPECT_EQ(p.X, row.x) << int(row.align) << " at " << row.angle << ": " << row.why;
        EXPECT_EQ(p.Y, row.y) << int(row.align) << " at " << row.angle << ": " << row.why;
    }
    // Clamping: a left text is never placed right of W, nor below H; a right
    // one never left of 0; a centred one is not clamped.
    label.SetAlignment(taLeftJustify);
    label.SetAngle(90);
    EXPECT_EQ(label.TextOffset(200, 12).Y, 58);
    label.SetAngle(180);
    EXPECT_EQ(label.TextOffset(200, 12).X, 98);
    label.SetAngle(0);
    label.SetAlignment(taRightJustify);
    EXPECT_EQ(label.TextOffset(150, 12).X, 0) << "wider than the control: starts at the inner left edge";
    label.SetAlignment(taCenter);
    EXPECT_EQ(label.TextOffset(150, 12).X, 49 - 75) << "a centred one starts left of it";
}

TEST_F(ControlDrawTest, RotatedTextIsOneLineInARotatedFont)
{
    auto* label = Add<TKVXLabel>();
    label->SetDisplayName(QStringLiteral("Up the side"));
    label->SetAngle(90);
    label->SetWidth(30);
    label->SetHeight(200);
    TRect r = Bounds(100, 10, 30, 200);
    canvas.SetFont(label->Font());
    const int tw = canvas.TextWidth(label->DisplayName());
    const int height = label->Draw(canvas, r, 0, 0);
    auto texts = canvas.Of(DrawCall::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].Text, label->DisplayName());
    EXPECT_EQ(texts[0].Orientation, 900);
    EXPECT_EQ(texts[0].X, 101);
    EXPECT_EQ(texts[0].Y, 11 + tw) << "drawn upwards from the bottom-left of the text";
    EXPECT_EQ(height, LineHeight(*label->Font()) + 2) << "a rotated text measures one line";
    EXPECT_EQ(canvas.Font()->Orientation(), 0) << "the rotated font is deselected afterwards";
}

TEST_F(ControlDrawTest, RightAlignedTextEndsAtTheInnerRightEdge)
{
    auto* label = Add<TKVXLabel>();
    label->SetDisplayName(QStringLiteral("42"));
    label->SetAlignment(taRightJustify);
    label->SetWidth(100);
    TRect r = Bounds(0, 0, 100, 20);
    label->Draw(canvas, r, 0, 0);
    auto texts = canvas.Of(DrawCall::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    canvas.SetFont(label->Font());
    EXPECT_EQ(texts[0].X, 1 + 98 - canvas.TextWidth(QStringLiteral("42")));
}

// A plain field reference keeps the field it found from record to record;
// it must find again when the expression, the data set or its fields
// change, and never keep a field it did not find.
TEST_F(ControlDrawTest, AFieldReferenceFollowsItsDataSetsChanges)
{
    auto* orders = new TMemoryDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->AddFieldDef(QStringLiteral("Amount"), ftFloat);
    orders->AddFieldDef(QStringLiteral("Name"), ftWideString, 20);
    orders->AppendRecord({1234.5, QStringLiteral("Ann")});
    orders->AppendRecord({7.25, QStringLiteral("Bob")});
    orders->Open();
    auto* manager = new TKVXDataManager(&report);
    manager->FillDatasetList(&report, orders);
    report.SetDataManager(manager);
    report.SetDataSet(orders);
    auto* plain = Add<TKVXExpression>();
    plain->SetExpression(QStringLiteral("[Name]"));
    auto value = [&] {
        plain->UpdateCurValue();
        return plain->GetCurValue().ToString();
    };
    EXPECT_EQ(value(), u"Ann");
    orders->Next();
    EXPECT_EQ(value(), u"Bob") << "the next record's text";

    plain->SetExpression(QStringLiteral("Amount"));
    EXPECT_EQ(value(), u"7.25") << "another expression, another field";

    // The fields made again in another order: the same name, another place.
    orders->Close();
    orders->ClearFieldDefs();
    orders->AddFieldDef(QStringLiteral("Name"), ftWideString, 20);
    orders->AddFieldDef(QStringLiteral("Amount"), ftFloat);
    orders->AppendRecord({QStringLiteral("Cy"), 99.5});
    orders->Open();
    EXPECT_EQ(value(), u"99.5") << "the field at its new place";

    // Another data set first in the manager: its own field of that name.
    auto* other = new TMemoryDataSet(&report);
    other->SetName(QStringLiteral("Other"));
    other->AddFieldDef(QStringLiteral("Amount"), ftWideString, 20);
    other->AppendRecord({QStringLiteral("other")});
    other->AppendRecord({QStringLiteral("second")});
    other->Open();
    manager->FillDatasetList(&report, other);
    EXPECT_EQ(value(), u"other");

    // No field reference: calculated at every record, and a field
    // reference again as soon as the expression is one.
    plain->SetExpression(QStringLiteral("UPPER([Amount])"));
    EXPECT_EQ(value(), u"OTHER");
    plain->SetExpression(QStringLiteral("[Amount]"));
    other->Next();
    EXPECT_EQ(value(), u"second");

    // Parentheses around a reference are no part of the field's name.
    for (const char* text : {"(Amount)", "([Amount])", "( (Amount) )"}) {
        plain->SetExpression(QString::fromLatin1(text));
        EXPECT_EQ(value(), u"second") << text;
    }

    plain->SetExpression(QStringLiteral("[Missing]"));
    EXPECT_THROW(value(), EKVXError) << "an unknown name is no field";
}

TEST_F(ControlDrawTest, ExpressionValuesFromFieldsAndCalculations)
{
    auto* orders = new TMemoryDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->AddFieldDef(QStringLiteral("Amount"), ftFloat);
    orders->AddFieldDef(QStringLiteral("Name"), ftWideString, 20);
    orders->AppendRecord({1234.5, QStringLiteral("Ann")});
    orders->AppendRecord({7.25, QStringLiteral("Bob")});
    orders->Open();
    auto* manager = new TKVXDataManager(&report);
    manager->FillDatasetList(&report, orders);
    report.SetDataManager(manager);
    report.SetDataSet(orders);

    auto* plain = Add<TKVXExpression>();
    plain->SetExpression(QStringLiteral("[Amount]"));
    plain->UpdateCurValue();
    EXPECT_TRUE(plain->GetCurValue().Identical(Variant(QStringLiteral("1234.5")))) << "the field's own text";

    auto* count = Add<TKVXExpression>();
    count->SetExpression(QStringLiteral("Name"));
    count->Calculation()->SetCalcType(ctCount);
    count->UpdateCurValue();
    orders->Next();
    count->UpdateCurValue();
    EXPECT_EQ(count->GetCurValue().ToString(), u"2");

    auto* sum = Add<TKVXExpression>();
    sum->SetExpression(QStringLiteral("Amount * 2"));
    sum->UpdateCurValue();
    EXPECT_EQ(sum->GetCurValue().ToString(), u"14.5");

    // While generating the value goes through the mask.
    auto* masked = Add<TKVXExpression>();
    masked->SetFormat(QStringLiteral("@C @U "));
    masked->SetCurValue(Variant(QStringLiteral("bob")));
    Generating(true);
    TRect r = Bounds(0, 0, 100, 20);
    masked->Draw(canvas, r, 0, 0);
    EXPECT_EQ(canvas.AllText(), u"BOB");
    report.SetDataManager(nullptr);
    report.SetDataSet(nullptr);
}

TEST_F(ControlDrawTest, ExpressionTakesItsTextAsDisplayNameWhenItHasNone)
{
    TKVXExpression expression;
    expression.SetExpression(QStringLiteral("A + B"));
    EXPECT_EQ(expression.DisplayName(), u"Expression");
    expression.SetDisplayName(QString());
    expression.SetExpression(QStringLiteral("C"));
    EXPECT_EQ(expression.DisplayName(), u"C");
}

TEST_F(ControlDrawTest, SystemDataKindsMasksAndValues)
{
    auto* sys = Add<TKVXSysData>();
    EXPECT_EQ(sys->SysData(), sdDateTime);
    EXPECT_EQ(sys->Format(), u"@D @DS @T @TS ");
    EXPECT_EQ(sys->DisplayName(), u"DateTime");
    sys->SetSysData(sdDate);
    EXPECT_EQ(sys->Format(), u"@D @DS ");
    sys->SetSysData(sdPageNo);
    EXPECT_EQ(sys->Format(), u"@N @ND0 @NR1 ") << "a mask still at the old kind's default follows the kind";
    EXPECT_EQ(sys->DisplayName(), u"PageNo");
    sys->SetFormat(QStringLiteral("@N "));
    sys->SetDisplayName(QStringLiteral("Page"));
    sys->SetSysData(sdBarNo);
    EXPECT_EQ(sys->Format(), u"@N ") << "a mask edited by the user stays";
    EXPECT_EQ(sys->DisplayName(), u"Page") << "a name typed by hand stays";
    auto* second = Add<TKVXSysData>();
    second->SetSysData(sdPageNo);
    EXPECT_EQ(second->DisplayName(), u"PageNo");
    auto* third = Add<TKVXSysData>();
    third->SetSysData(sdPageNo);
    EXPECT_EQ(third->DisplayName(), u"PageNo1") << "made unique in the report";

    // Values: the page number on page 3 is the text 3 before masking.
    second->SetSysData(sdPageNo);
    report.intCurPage = 2;
    second->UpdateCurValue();
    EXPECT_TRUE(second->GetCurValue().Identical(Variant(QStringLiteral("3"))));
    second->SetSysData(sdDetailNo);
    second->UpdateCurValue();
    EXPECT_EQ(second->GetCurValue().ToString(), u"1");
    detail->SetLineNo(12);
    second->UpdateCurValue();
    EXPECT_EQ(second->GetCurValue().ToString(), u"12");
}

TEST_F(ControlDrawTest, SystemDataDatesBecomeSerialNumbersAndBandLineNumbers)
{
    auto* sys = Add<TKVXSysData>();
    sys->SetSysData(sdDate);
    sys->UpdateCurValue();
    const double today = std::trunc(Now());
    EXPECT_EQ(sys->GetCurValue().ToString(), FloatToStrG(today));
    sys->SetSysData(sdBandLineNo);
    detail->SetLineNo(5);
    sys->UpdateCurValue();
    EXPECT_EQ(sys->GetCurValue().ToString(), u"5");
    TKVXSysData detailNo; // outside any report
    detailNo.SetSysData(sdDetailNo);
    detailNo.UpdateCurValue();
    EXPECT_EQ(detailNo.GetCurValue().ToString(), u"-1");
}

TEST_F(ControlDrawTest, PrintWhenConditions)
{
    struct Row {
        const char* showIf;
        const char* hideWhen;
        bool printed;
    };
    const Row rows[] = {
        {"", "", true},       {"1 = 0", "1 = 1", false}, {"1 = 1", "1 = 1", false},
        {"1 = 1", "", true},  {"", "1 = 1", false},      {"1 = 0", "", false},
        {"", "1 = 0", true},
    };
    auto* label = Add<TKVXLabel>();
    for (const Row& row : rows) {
        label->KVPrintWhen()->SetShowIf(QString::fromLatin1(row.showIf));
        label->KVPrintWhen()->SetHideWhen(QString::fromLatin1(row.hideWhen));
        detail->KVPrintWhen()->SetHideWhen(QString::fromLatin1(row.hideWhen));
        report.UpdateControlStates();
        EXPECT_EQ(label->CanBePrinted(), row.printed) << row.showIf << " / " << row.hideWhen;
        EXPECT_EQ(detail->CanBePrinted(), !*row.hideWhen || !QString::fromLatin1(row.hideWhen).contains(u"1 = 1"));
    }
    label->KVPrintWhen()->SetShowIf(QStringLiteral("1 +"));
    EXPECT_THROW(report.UpdateControlStates(), EKVXError) << "a condition that cannot be decided ends the preparation";

    TKVPrintWhen copy;
    label->KVPrintWhen()->SetGroupName(QStringLiteral("g"));
    label->KVPrintWhen()->SetOnOverflow(true);
    copy.Assign(label->KVPrintWhen());
    EXPECT_EQ(copy.ShowIf(), u"1 +");
    EXPECT_EQ(copy.GroupName(), u"g");
    EXPECT_TRUE(copy.OnOverflow());
}

TEST_F(ControlDrawTest, SelectedControlsGetEightHandles)
{
    auto* label = Add<TKVXLabel>(); // Left 10, Top 40, 50 x 20, frame width 1
    label->SetSelected(true);
    canvas.Calls.clear();
    label->Paint(canvas);
    auto fills = canvas.Of(DrawCall::Fill);
    ASSERT_EQ(fills.size(), 8u);
    // Around (10, 40)-(60, 60): corners inset 2 left/top and 3 right/bottom.
    const TPoint expected[8] = {{12, 42}, {35, 42}, {57, 42}, {57, 50}, {57, 57}, {35, 57}, {12, 57}, {12, 50}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(fills[size_t(i)].Rect, Rect(expected[i].X - 2, expected[i].Y - 2, expected[i].X + 3, expected[i].Y + 3)) << i;
        EXPECT_EQ(fills[size_t(i)].BrushColor, clWindowFrame);
    }
    EXPECT_EQ(canvas.AllText(), u"Text") << "the designer shows the display name";
    label->SetKVXControlState(scsResize);
    canvas.Calls.clear();
    label->Paint(canvas);
    EXPECT_EQ(canvas.Of(DrawCall::Fill)[0].BrushColor, KVX_HANDLE_MOVING_COLOR);
    label->SetSelected(false);
    EXPECT_EQ(label->KVXControlState(), scsNothing);
}

} // namespace
} // namespace vorel
