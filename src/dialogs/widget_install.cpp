#include "dialogs/widget_install.h"

#include "designer/designer_window.h"
#include "designer/expression_builder.h"
#include "dialogs/print_when_form.h"
#include "dialogs/widget_user_interface.h"
#include "model/control.h"
#include "model/print_when.h"
#include "model/report.h"
#include "preview/preview_install.h"

#include <memory>

namespace vorel {

namespace {

std::unique_ptr<TWidgetUserInterface>& Interface()
{
    static std::unique_ptr<TWidgetUserInterface> ui;
    return ui;
}

// The designer's "Print when..." command: the control's settings in the
// print-when dialog, with the report's groups to choose from and the
// expression builder behind its expression buttons.
bool EditControlPrintWhen(QWidget* parent, TKVXControl* control)
{
    if (!control || !control->KVPrintWhen())
        return false;
    TKVReport* report = control->Report();
    QStringList groups;
    if (report) {
        TStringList list;
        report->AssignGroups(true, &list);
        groups = list.List();
    }
    const TExpressionEditor builder = [report, parent](QString& expression) {
        if (!report)
            return false;
        TExpressionBuilder dialog(report, expression, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        expression = dialog.Expression();
        return true;
    };
    TKVPrintWhen settings;
    settings.Assign(control->KVPrintWhen());
    if (!EditPrintWhen(settings, groups, report ? report->GetLanguageShift() : 0, builder, parent))
        return false;
    control->SetKVPrintWhen(&settings);
    return true;
}

} // namespace

void InstallWidgetUserInterface()
{
    if (!Interface())
        Interface() = std::make_unique<TWidgetUserInterface>();
    SetUserInterface(Interface().get());
    InstallPreviewWindow();
    SetPrintWhenEditor(EditControlPrintWhen);
}

void UninstallWidgetUserInterface()
{
    SetPrintWhenEditor({});
    UninstallPreviewWindow();
    if (Interface()) {
        SetUserInterface(nullptr);
        Interface().reset();
    }
}

} // namespace vorel
