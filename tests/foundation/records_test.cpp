// The shared report records: recomputation triggers, value changes,
// parameter lookup and the parameter dialog's decisions.

#include "foundation/language/language.h"
#include "foundation/records/records.h"
#include "frame/user_interface.h"

#include <gtest/gtest.h>

using namespace vorel;

namespace {

TEST(Calculation, StateChangedPerTrigger)
{
    TKVXCalculation calc;
    EXPECT_TRUE(calc.StateChanged({}, {})) << "on every row: the per-record trigger";
    EXPECT_FALSE(calc.StateChanged(QStringLiteral("G"), {}));

    calc.SetCalculate(rcGroupChange);
    calc.SetGroupChange(QStringLiteral("Total"));
    EXPECT_TRUE(calc.StateChanged(QStringLiteral("TOTAL"), {}));
    EXPECT_FALSE(calc.StateChanged({}, {}));

    calc.SetGroupChange({});
    EXPECT_TRUE(calc.StateChanged({}, {})) << "an empty group change also fires per record";

    calc.SetCalculate(rcVariableChange);
    calc.SetVariableChange({});
    EXPECT_TRUE(calc.StateChanged(QStringLiteral("AnyGroup"), {})) << "and at every group trigger";
    calc.SetVariableChange(QStringLiteral("Rate"));
    EXPECT_TRUE(calc.StateChanged({}, QStringLiteral("rate")));
    EXPECT_FALSE(calc.StateChanged({}, {}));
}

TEST(Variable, ValueChanged)
{
    TKVXVariables variables(nullptr);
    TKVXVariable* v = variables.Add();
    v->SetPrevValue(Variant::Null());
    v->SetCurValue(Variant(0));
    EXPECT_TRUE(v->ValueChanged()) << "Null before, 0 now";
    v->SetPrevValue(Variant(0));
    EXPECT_FALSE(v->ValueChanged());
    v->SetPrevValue(Variant());
    EXPECT_TRUE(v->ValueChanged()) << "an Empty value always counts as changed";
    v->SetPrevValue(Variant::Null());
    v->SetCurValue(Variant::Null());
    EXPECT_FALSE(v->ValueChanged());
}

TEST(Variable, AssignCopiesSettingsNotValues)
{
    TKVXVariables variables(nullptr);
    TKVXVariable* a = variables.Add();
    a->SetName(QStringLiteral("Total"));
    a->SetExpression(QStringLiteral("[Amount]"));
    a->Calculation()->SetCalcType(ctSum);
    a->SetCurValue(Variant(5));
    TKVXVariable* b = variables.Add();
    b->Assign(a);
    EXPECT_EQ(b->Name(), u"Total");
    EXPECT_EQ(b->Calculation()->CalcType(), ctSum);
    EXPECT_TRUE(b->CurValue().IsNull());
    EXPECT_FALSE(b->IsPropertyStored("CurValue"));
    EXPECT_TRUE(a->IsPropertyStored("CurValue"));
}

TEST(Parameters, ParamByNameIsCaseSensitive)
{
    TKVXParameters params(nullptr);
    params.Add()->SetName(QStringLiteral("Year"));
    EXPECT_NE(params.ParamByName(QStringLiteral("Year")), nullptr);
    EXPECT_EQ(params.ParamByName(QStringLiteral("year")), nullptr);
}

TEST(Parameters, HighlightDefaults)
{
    TKVXHighLights lights(nullptr);
    TKVXHighLight* h = lights.Add();
    EXPECT_EQ(h->Font()->Name(), u"Arial");
    EXPECT_EQ(h->Color(), clWhite);
}

struct ScriptedUi : TKVXUserInterface {
    TDialogResult Result = TDialogResult::Accepted;
    std::function<void(TParameterDialogModel&)> Edit;
    int Shown = 0;
    TParameterDialogModel Seen;
    TDialogResult ShowParameterDialog(TParameterDialogModel& model) override
    {
        ++Shown;
        if (Edit)
            Edit(model);
        Seen = model;
        return Result;
    }
};

class AskParametersTest : public ::testing::Test {
protected:
    TKVXParameters params{nullptr};
    TKVXParameter* Add(const QString& name, TKVXParameterEditor editor, const Variant& value,
                       TKVXParameterMode mode = pmAskAlways)
    {
        TKVXParameter* p = params.Add();
        p->SetName(name);
        p->SetDisplayLabel(name + QStringLiteral(":"));
        p->SetParameterEditor(editor);
        p->SetValue(value);
        p->SetParameterMode(mode);
        return p;
    }
};

TEST_F(AskParametersTest, AskUndefinedOnlyWhenValueMissing)
{
    Add(QStringLiteral("A"), peEdit, Variant(5), pmAskUndefined);
    ScriptedUi ui;
    EXPECT_TRUE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(ui.Shown, 0) << "a defined value is not asked";
    params.GetParameter(0)->SetValue(Variant::Null());
    EXPECT_TRUE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(ui.Shown, 1);
}

TEST_F(AskParametersTest, LayoutOfTwoRows)
{
    Add(QStringLiteral("Memo"), peMemo, Variant(u"x"));
    Add(QStringLiteral("Flag"), peCheckBox, Variant(true));
    const TParameterDialogModel m = BuildParameterDialog(params, lnEnglish);
    ASSERT_EQ(m.Prompts.size(), 2);
    EXPECT_EQ(m.Caption, u"Report parameters");
    EXPECT_EQ(m.OkText, u"&OK");
    EXPECT_EQ(m.CancelText, u"&Cancel");
    EXPECT_EQ(m.Prompts[0].EditorTop, 8);
    EXPECT_EQ(m.Prompts[0].LabelTop, 12);
    EXPECT_EQ(m.Prompts[1].EditorTop, 8 + m.Prompts[0].EditorHeight + 10);
    const int y = m.Prompts[1].EditorTop + m.Prompts[1].EditorHeight + 10;
    EXPECT_EQ(m.ButtonTop, y + 10);
    EXPECT_EQ(m.ClientHeight, y + 45);
    EXPECT_TRUE(m.Prompts[1].Checked);
}

TEST_F(AskParametersTest, ComboSelectionFromValue)
{
    auto* p = Add(QStringLiteral("Pick"), peCombobox, Variant(2));
    p->ParamPromptValues()->SetText(QStringLiteral("A\nB\nC"));
    EXPECT_EQ(BuildParameterDialog(params, lnEnglish).Prompts[0].ItemIndex, 2) << "an integer is an index";
    p->SetValue(Variant(u"B"));
    EXPECT_EQ(BuildParameterDialog(params, lnEnglish).Prompts[0].ItemIndex, 1) << "a text selects its item";
    p->SetValue(Variant::Null());
    EXPECT_EQ(BuildParameterDialog(params, lnEnglish).Prompts[0].ItemIndex, 0);
    p->SetValue(Variant(7));
    EXPECT_EQ(BuildParameterDialog(params, lnEnglish).Prompts[0].ItemIndex, -1);
}

TEST_F(AskParametersTest, ConfirmWritesEditorTypes)
{
    Add(QStringLiteral("Flag"), peCheckBox, Variant(u"no"));
    Add(QStringLiteral("Count"), peEdit, Variant(12));
    auto* pick = Add(QStringLiteral("Pick"), peListBox, Variant(0));
    pick->ParamPromptValues()->SetText(QStringLiteral("A\nB"));
    ScriptedUi ui;
    ui.Edit = [](TParameterDialogModel& m) { m.Prompts[2].ItemIndex = 1; };
    EXPECT_TRUE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(params.GetParameter(0)->Value().Type(), varBoolean);
    EXPECT_FALSE(params.GetParameter(0)->Value().ToBool());
    EXPECT_EQ(params.GetParameter(1)->Value().Type(), varString);
    EXPECT_EQ(params.GetParameter(1)->Value().ToString(), u"12");
    EXPECT_EQ(params.GetParameter(2)->Value().ToString(), u"B");
}

TEST_F(AskParametersTest, CancelChangesNothing)
{
    Add(QStringLiteral("Count"), peEdit, Variant(12));
    ScriptedUi ui;
    ui.Result = TDialogResult::Cancelled;
    ui.Edit = [](TParameterDialogModel& m) { m.Prompts[0].Text = QStringLiteral("99"); };
    EXPECT_FALSE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(params.GetParameter(0)->Value().Type(), varInteger);
    EXPECT_EQ(params.GetParameter(0)->Value().ToInt64(), 12);
}

TEST_F(AskParametersTest, HeadlessKeepsValuesOrTakesGivenOnes)
{
    Add(QStringLiteral("Count"), peEdit, Variant(12));
    auto* pick = Add(QStringLiteral("Pick"), peCombobox, Variant::Null());
    pick->ParamPromptValues()->SetText(QStringLiteral("North\nSouth"));
    THeadlessUserInterface ui;
    EXPECT_TRUE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(params.GetParameter(0)->Value().Type(), varInteger) << "nothing given: values kept as they are";

    ui.SetParameterText(QStringLiteral("Pick"), QStringLiteral("South"));
    EXPECT_TRUE(AskParameters(params, lnEnglish, &ui));
    EXPECT_EQ(params.GetParameter(1)->Value().ToString(), u"South");

    ui.SetParameterText(QStringLiteral("Pick"), QStringLiteral("West"));
    EXPECT_THROW(AskParameters(params, lnEnglish, &ui), EKVXError);
    EXPECT_EQ(params.GetParameter(1)->Value().ToString(), u"South") << "a bad value changes nothing";
}

} // namespace
