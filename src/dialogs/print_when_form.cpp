#include "dialogs/print_when_form.h"

#include "foundation/language/language.h"
#include "model/print_when.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorel {

namespace {
// Text ids.
constexpr int kTextCaption = 1500;      // "Print when..."
constexpr int kTextRepeated = 1501;     // " Print repeated values "
constexpr int kTextYes = 1502;
constexpr int kTextNo = 1503;
constexpr int kTextAlsoPrint = 1504;    // " Also print "
constexpr int kTextNewPage = 1505;
constexpr int kTextGroupChange = 1506;
constexpr int kTextOverflow = 1507;
constexpr int kTextRemoveBlank = 1508;
constexpr int kTextPrintOnly = 1509;
constexpr int kTextHideWhen = 1510;
constexpr int kTextOk = 1103;
constexpr int kTextCancel = 1104;

QString GroupTitle(int lang, int id)
{
    // The classic group captions carry blanks around them for the frame line.
    return GetString(lang, id).trimmed();
}
} // namespace

TfrmPrintWhen::TfrmPrintWhen(const TKVPrintWhen& settings, const QStringList& groups, int lang,
                             const TExpressionEditor& builder, QWidget* parent)
    : QDialog(parent), FBuilder(builder)
{
    setObjectName(QStringLiteral("frmPrintWhen"));
    setWindowTitle(GetString(lang, kTextCaption));
    auto* layout = new QVBoxLayout(this);

    auto* repeated = new QGroupBox(GroupTitle(lang, kTextRepeated), this);
    auto* repeatedLayout = new QHBoxLayout(repeated);
    rbRepeatYes = new QRadioButton(GetString(lang, kTextYes), repeated);
    rbRepeatNo = new QRadioButton(GetString(lang, kTextNo), repeated);
    repeatedLayout->addWidget(rbRepeatYes);
    repeatedLayout->addWidget(rbRepeatNo);
    repeatedLayout->addStretch();
    (settings.RepeatedValues() ? rbRepeatYes : rbRepeatNo)->setChecked(true);
    layout->addWidget(repeated);

    auto* also = new QGroupBox(GroupTitle(lang, kTextAlsoPrint), this);
    auto* alsoLayout = new QGridLayout(also);
    cbRePrintOnNewPage = new QCheckBox(GetString(lang, kTextNewPage), also);
    cbOnGroupChange = new QCheckBox(GetString(lang, kTextGroupChange), also);
    cbGroupName = new QComboBox(also);
    cbGroupName->addItems(groups);
    // A group stored in the settings that the report no longer has stays
    // visible (and kept) rather than silently replaced.
    if (!settings.GroupName().isEmpty() && !groups.contains(settings.GroupName()))
        cbGroupName->addItem(settings.GroupName());
    cbGroupName->setCurrentIndex(settings.GroupName().isEmpty() ? (groups.isEmpty() ? -1 : 0)
                                                                : cbGroupName->findText(settings.GroupName()));
    cbOnOverflow = new QCheckBox(GetString(lang, kTextOverflow), also);
    alsoLayout->addWidget(cbRePrintOnNewPage, 0, 0, 1, 2);
    alsoLayout->addWidget(cbOnGroupChange, 1, 0);
    alsoLayout->addWidget(cbGroupName, 1, 1);
    alsoLayout->addWidget(cbOnOverflow, 2, 0, 1, 2);
    cbRePrintOnNewPage->setChecked(settings.RePrintOnNewPage());
    cbOnGroupChange->setChecked(settings.OnGroupChange());
    cbOnOverflow->setChecked(settings.OnOverflow());
    layout->addWidget(also);

    cbRemoveBlankLine = new QCheckBox(GetString(lang, kTextRemoveBlank), this);
    cbRemoveBlankLine->setChecked(settings.RemoveBlankLine());
    layout->addWidget(cbRemoveBlankLine);

    auto* conditions = new QGridLayout;
    const auto condition = [&](int row, int textId, const QString& expression, QCheckBox*& box, QLineEdit*& edit,
                               QToolButton*& button) {
        box = new QCheckBox(GetString(lang, textId), this);
        edit = new QLineEdit(expression, this);
        button = new QToolButton(this);
        button->setText(QStringLiteral("..."));
        button->setVisible(bool(FBuilder));
        box->setChecked(!expression.isEmpty());
        conditions->addWidget(box, row, 0);
        conditions->addWidget(edit, row, 1);
        conditions->addWidget(button, row, 2);
        connect(box, &QCheckBox::toggled, this, &TfrmPrintWhen::UpdateEnabled);
        connect(button, &QToolButton::clicked, this, [this, edit] {
            QString text = edit->text();
            if (FBuilder && FBuilder(text))
                edit->setText(text);
        });
    };
    condition(0, kTextPrintOnly, settings.ShowIf(), cbShowIf, edShowIf, btnShowIf);
    condition(1, kTextHideWhen, settings.HideWhen(), cbHideWhen, edHideWhen, btnHideWhen);
    edShowIf->setObjectName(QStringLiteral("edShowIf"));
    edHideWhen->setObjectName(QStringLiteral("edHideWhen"));
    layout->addLayout(conditions);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(GetString(lang, kTextOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(GetString(lang, kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(cbOnGroupChange, &QCheckBox::toggled, this, &TfrmPrintWhen::UpdateEnabled);
    UpdateEnabled();
    setMinimumWidth(420);
}

TfrmPrintWhen::~TfrmPrintWhen() = default;

void TfrmPrintWhen::UpdateEnabled()
{
    cbGroupName->setEnabled(cbOnGroupChange->isChecked());
    edShowIf->setEnabled(cbShowIf->isChecked());
    btnShowIf->setEnabled(cbShowIf->isChecked());
    edHideWhen->setEnabled(cbHideWhen->isChecked());
    btnHideWhen->setEnabled(cbHideWhen->isChecked());
}

void TfrmPrintWhen::WriteTo(TKVPrintWhen& settings) const
{
    settings.SetRepeatedValues(rbRepeatYes->isChecked());
    settings.SetRePrintOnNewPage(cbRePrintOnNewPage->isChecked());
    settings.SetOnGroupChange(cbOnGroupChange->isChecked());
    // The group is written from the selector's text; with "when this group
    // changes" unticked the stored group stays as it was chosen.
    settings.SetGroupName(cbGroupName->currentText());
    settings.SetOnOverflow(cbOnOverflow->isChecked());
    settings.SetRemoveBlankLine(cbRemoveBlankLine->isChecked());
    settings.SetShowIf(cbShowIf->isChecked() ? edShowIf->text() : QString());
    settings.SetHideWhen(cbHideWhen->isChecked() ? edHideWhen->text() : QString());
}

bool EditPrintWhen(TKVPrintWhen& settings, const QStringList& groups, int lang, const TExpressionEditor& builder,
                   QWidget* parent)
{
    TfrmPrintWhen dialog(settings, groups, lang, builder, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // A copy first, so the settings change in one step.
    TKVPrintWhen copy;
    copy.Assign(&settings);
    dialog.WriteTo(copy);
    settings.Assign(&copy);
    return true;
}

} // namespace vorel
