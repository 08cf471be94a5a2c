#pragma once
// The whole decision logic of asking for report parameters: which parameters
// are asked, which editor each gets, what it shows, and what each editor
// writes back. A user interface only displays the model and edits its
// editor states (the Qt dialog of vorel_ui, or the headless default).

#include "foundation/records/records.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vorel {

// One asked parameter: a label and an editor. Positions and sizes are in
// dialog pixels, as the classic dialog lays them out.
struct TParameterPrompt {
    int ParamIndex = -1; // the editor's tag: the parameter it writes back to
    QString Name;        // the parameter's Name (not shown; lets values be given by name)
    QString Label;       // the parameter's DisplayLabel, right-aligned
    TKVXParameterEditor Editor = peEdit;
    int LabelLeft = 5, LabelTop = 0, LabelWidth = 100;
    int EditorLeft = 110, EditorTop = 0, EditorWidth = 100, EditorHeight = 0;
    // Editor state: shown on opening, edited by the user interface.
    QString Text;      // edit and memo
    bool Checked = false; // check box
    QStringList Items; // combo box and list box
    int ItemIndex = -1; // combo box and list box; -1 = nothing selected
};

struct TParameterDialogModel {
    QString Caption; // text 1790, "Report parameters"
    int ClientWidth = 225;
    int ClientHeight = 0;
    QList<TParameterPrompt> Prompts;
    int ButtonTop = 0, ButtonWidth = 75;
    int OkLeft = 65, CancelLeft = 145;
    QString OkText;     // text 1103, "&OK" (the default button)
    QString CancelText; // text 1104, "&Cancel" (the cancel button)
    bool IsEmpty() const { return Prompts.isEmpty(); }
};

// Default editor heights of the classic controls, in dialog pixels.
int ParameterEditorHeight(TKVXParameterEditor editor);

// Builds the dialog for the parameters that need asking (empty model when none).
TParameterDialogModel BuildParameterDialog(const TKVXParameters& parameters, int lang);

// Writes every editor back into the parameter of its tag: memo and edit ->
// their text (a string), check box -> a Boolean, combo and list box -> the
// selected item's text; with nothing selected the value becomes Null, so a
// pmAskUndefined parameter is asked again next time.
void ApplyParameterDialog(TKVXParameters& parameters, const TParameterDialogModel& model);

// Sets an editor's state from a text given from outside (the command line):
// edit and memo take it as it stands, a check box is ticked for "true", "1",
// "yes" or "on" (any case), a combo or list box selects the item with that
// text, or the item with that index when the text is a number in range.
// Returns false when a combo or list box has no such item.
bool SetPromptFromText(TParameterPrompt& prompt, const QString& text);

} // namespace vorel
