#pragma once
// What the core asks of a user interface instead of opening dialogs itself.
// The headless default (used by the tools, servers and tests) never blocks:
// parameters keep their values unless values were given from outside.
// vorel_ui installs a Qt Widgets implementation with SetUserInterface.

#include "foundation/parameter_dialog.h"

#include <QHash>

namespace vorel {

enum class TDialogResult { Accepted, Cancelled, Skipped };

class TKVXUserInterface {
public:
    virtual ~TKVXUserInterface() = default;
    // Shows the parameter dialog. Accepted: the model's editor states are
    // written back. Cancelled: nothing changes and generation does not start.
    // Skipped: nothing changes and generation goes on.
    virtual TDialogResult ShowParameterDialog(TParameterDialogModel& model) = 0;
};

class THeadlessUserInterface : public TKVXUserInterface {
public:
    // Values given from outside, by parameter name (exact) or display label.
    void SetParameterText(const QString& name, const QString& text) { FParameterTexts.insert(name, text); }
    void ClearParameterTexts() { FParameterTexts.clear(); }
    const QHash<QString, QString>& ParameterTexts() const { return FParameterTexts; }

    // With no values given: Skipped. Otherwise the given values fill their
    // editors (unknown combo items raise EKVXError naming the parameter) and
    // the dialog counts as confirmed; editors without a value keep what they show.
    TDialogResult ShowParameterDialog(TParameterDialogModel& model) override;

private:
    QHash<QString, QString> FParameterTexts;
};

// The installed user interface (the headless one unless replaced). Not owned.
TKVXUserInterface* UserInterface();
// nullptr restores the headless default.
void SetUserInterface(TKVXUserInterface* ui);
THeadlessUserInterface* HeadlessUserInterface();

// Asks for the parameters that need it through the user interface. False
// only when the user cancels; then no value has changed. True when nothing
// needed asking.
bool AskParameters(TKVXParameters& parameters, int lang, TKVXUserInterface* ui = UserInterface());

} // namespace vorel
