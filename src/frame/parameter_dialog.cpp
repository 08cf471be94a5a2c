#include "frame/parameter_dialog.h"

#include "foundation/language/language.h"
#include "frame/user_interface.h"

namespace vorel {

int ParameterEditorHeight(TKVXParameterEditor editor)
{
    switch (editor) {
    case peMemo: return 89;
    case peCheckBox: return 17;
    case peListBox: return 97;
    case peCombobox:
    case peEdit: return 21;
    }
    return 21;
}

namespace {

// The item a combo or list box selects for a value: the first for Empty or
// Null, the item at that index for a (small) integer, else the item whose
// text equals the value's text.
int InitialItemIndex(const Variant& value, const QStringList& items)
{
    if (value.IsEmptyOrNull())
        return items.isEmpty() ? -1 : 0;
    if (value.Type() == varSmallint || value.Type() == varInteger) {
        const qint64 i = value.ToInt64();
        return i >= 0 && i < items.size() ? int(i) : -1;
    }
    return int(items.indexOf(value.ToString()));
}

} // namespace

TParameterDialogModel BuildParameterDialog(const TKVXParameters& parameters, int lang)
{
    TParameterDialogModel model;
    int y = 8;
    for (int i = 0; i < parameters.Count(); ++i) {
        const TKVXParameter* p = parameters.GetParameter(i);
        if (!p->NeedsAsking())
            continue;
        TParameterPrompt prompt;
        prompt.ParamIndex = i;
        prompt.Name = p->Name();
        prompt.Label = p->DisplayLabel();
        prompt.Editor = p->ParameterEditor();
        prompt.LabelTop = y + 4;
        prompt.EditorTop = y;
        prompt.EditorHeight = ParameterEditorHeight(prompt.Editor);
        switch (prompt.Editor) {
        case peCheckBox:
            // Not ticked for Empty or Null; a value that is no Boolean
            // (the text "maybe") leaves it unticked rather than failing.
            try {
                prompt.Checked = !p->Value().IsEmptyOrNull() && p->Value().ToBool();
            } catch (const EKVXError&) {
                prompt.Checked = false;
            }
            break;
        case peCombobox:
        case peListBox:
            prompt.Items = p->ParamPromptValues()->List();
            prompt.ItemIndex = InitialItemIndex(p->Value(), prompt.Items);
            break;
        case peMemo:
        case peEdit:
            prompt.Text = p->Value().ToString();
            break;
        }
        y += prompt.EditorHeight + 10;
        model.Prompts.append(prompt);
    }
    if (model.Prompts.isEmpty())
        return model;
    model.Caption = GetString(lang, 1790);
    model.OkText = GetString(lang, 1103);
    model.CancelText = GetString(lang, 1104);
    model.ButtonTop = y + 10;
    model.ClientHeight = y + 45;
    return model;
}

void ApplyParameterDialog(TKVXParameters& parameters, const TParameterDialogModel& model)
{
    for (const TParameterPrompt& prompt : model.Prompts) {
        if (prompt.ParamIndex < 0 || prompt.ParamIndex >= parameters.Count())
            continue;
        TKVXParameter* p = parameters.GetParameter(prompt.ParamIndex);
        switch (prompt.Editor) {
        case peCheckBox: p->SetValue(Variant(prompt.Checked)); break;
        case peCombobox:
        case peListBox:
            if (prompt.ItemIndex >= 0 && prompt.ItemIndex < prompt.Items.size())
                p->SetValue(Variant(prompt.Items[prompt.ItemIndex]));
            else
                p->SetValue(Variant::Null());
            break;
        case peMemo:
        case peEdit: p->SetValue(Variant(prompt.Text)); break;
        }
    }
}

bool SetPromptFromText(TParameterPrompt& prompt, const QString& text)
{
    switch (prompt.Editor) {
    case peCheckBox: {
        const QString t = text.trimmed().toLower();
        prompt.Checked = t == u"true" || t == u"1" || t == u"yes" || t == u"on";
        return true;
    }
    case peCombobox:
    case peListBox: {
        int index = int(prompt.Items.indexOf(text));
        if (index < 0) {
            bool ok = false;
            const int n = text.trimmed().toInt(&ok);
            if (ok && n >= 0 && n < prompt.Items.size())
                index = n;
        }
        if (index < 0)
            return false;
        prompt.ItemIndex = index;
        return true;
    }
    case peMemo:
    case peEdit: prompt.Text = text; return true;
    }
    return false;
}

// --- user interface ---------------------------------------------------------------------

TDialogResult THeadlessUserInterface::ShowParameterDialog(TParameterDialogModel& model)
{
    if (FParameterTexts.isEmpty())
        return TDialogResult::Skipped;
    for (TParameterPrompt& prompt : model.Prompts) {
        auto it = FParameterTexts.constFind(prompt.Name);
        if (it == FParameterTexts.constEnd() && !prompt.Label.isEmpty())
            it = FParameterTexts.constFind(prompt.Label);
        if (it == FParameterTexts.constEnd())
            continue;
        if (!SetPromptFromText(prompt, it.value()))
            throw EKVXError(QStringLiteral("Parameter \"%1\": \"%2\" is not one of its values (%3)")
                                .arg(prompt.Name.isEmpty() ? prompt.Label : prompt.Name, it.value(), prompt.Items.join(QStringLiteral(", "))));
    }
    return TDialogResult::Accepted;
}

namespace {
TKVXUserInterface* gUserInterface = nullptr;
}

THeadlessUserInterface* HeadlessUserInterface()
{
    static THeadlessUserInterface headless;
    return &headless;
}

TKVXUserInterface* UserInterface()
{
    return gUserInterface ? gUserInterface : HeadlessUserInterface();
}

void SetUserInterface(TKVXUserInterface* ui)
{
    gUserInterface = ui;
}

bool AskParameters(TKVXParameters& parameters, int lang, TKVXUserInterface* ui)
{
    TParameterDialogModel model = BuildParameterDialog(parameters, lang);
    if (model.IsEmpty() || !ui)
        return true;
    switch (ui->ShowParameterDialog(model)) {
    case TDialogResult::Cancelled: return false;
    case TDialogResult::Skipped: return true;
    case TDialogResult::Accepted: ApplyParameterDialog(parameters, model); return true;
    }
    return true;
}

} // namespace vorel
