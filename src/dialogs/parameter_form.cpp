#include "dialogs/parameter_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vorel {

namespace {
// The key of the parameter an editor writes back to, as the classic tag.
constexpr char kTagProperty[] = "vorelParamIndex";

// Dialog texts carry the classic "&" accelerator marks Qt understands too.
QWidget* MakeEditor(const TParameterPrompt& prompt, QWidget* parent)
{
    switch (prompt.Editor) {
    case peMemo: {
        auto* memo = new QPlainTextEdit(parent);
        memo->setPlainText(prompt.Text);
        return memo;
    }
    case peCheckBox: {
        auto* box = new QCheckBox(parent);
        box->setChecked(prompt.Checked);
        return box;
    }
    case peCombobox: {
        auto* combo = new QComboBox(parent);
        combo->addItems(prompt.Items);
        combo->setCurrentIndex(prompt.ItemIndex);
        return combo;
    }
    case peListBox: {
        auto* list = new QListWidget(parent);
        list->addItems(prompt.Items);
        list->setCurrentRow(prompt.ItemIndex);
        return list;
    }
    case peEdit:
        break;
    }
    auto* edit = new QLineEdit(parent);
    edit->setText(prompt.Text);
    return edit;
}
} // namespace

TfrmParameters::TfrmParameters(const TParameterDialogModel& model, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmParameters"));
    setWindowTitle(model.Caption);
    // A dialog border: fixed size, no resizing, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    for (const TParameterPrompt& prompt : model.Prompts) {
        auto* label = new QLabel(prompt.Label, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        label->setGeometry(prompt.LabelLeft, prompt.LabelTop, prompt.LabelWidth, prompt.EditorHeight);
        QWidget* editor = MakeEditor(prompt, this);
        editor->setProperty(kTagProperty, prompt.ParamIndex);
        editor->setGeometry(prompt.EditorLeft, prompt.EditorTop, prompt.EditorWidth, prompt.EditorHeight);
        label->setBuddy(editor);
        FEditors.append(editor);
    }
    auto* ok = new QPushButton(model.OkText, this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    ok->setGeometry(model.OkLeft, model.ButtonTop, model.ButtonWidth, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(model.CancelText, this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setGeometry(model.CancelLeft, model.ButtonTop, model.ButtonWidth, 25);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects too
    setFixedSize(model.ClientWidth, model.ClientHeight);
}

void TfrmParameters::WriteBack(TParameterDialogModel& model) const
{
    for (int i = 0; i < model.Prompts.size() && i < FEditors.size(); ++i) {
        TParameterPrompt& prompt = model.Prompts[i];
        QWidget* editor = FEditors[i];
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
            prompt.Text = memo->toPlainText();
        else if (auto* box = qobject_cast<QCheckBox*>(editor))
            prompt.Checked = box->isChecked();
        else if (auto* combo = qobject_cast<QComboBox*>(editor))
            prompt.ItemIndex = combo->currentIndex();
        else if (auto* list = qobject_cast<QListWidget*>(editor))
            prompt.ItemIndex = list->currentRow();
        else if (auto* edit = qobject_cast<QLineEdit*>(editor))
            prompt.Text = edit->text();
    }
}

} // namespace vorel
