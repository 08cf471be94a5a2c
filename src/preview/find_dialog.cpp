#include "preview/find_dialog.h"

#include "foundation/language/language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vorel {

namespace {
// Text ids of the dialog.
enum : int {
    kCaption = 1840, kTextToFind = 1841, kOptions = 1842, kCaseSensitive = 1843,
    kModeBeginning = 1844, kModeExact = 1845, kModeAny = 1846,
    kScope = 1847, kGlobal = 1848, kCurrentPage = 1849, kOK = 1103, kCancel = 1104,
};
} // namespace

TfrmKVXFind::TfrmKVXFind(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgFind"));
    FTextLabel = new QLabel;
    edTextValue = new QLineEdit;
    edTextValue->setObjectName(QStringLiteral("edTextValue"));
    FTextLabel->setBuddy(edTextValue);
    chkCaseSensitive = new QCheckBox;
    chkCaseSensitive->setObjectName(QStringLiteral("chkCaseSensitive"));
    cbMode = new QComboBox;
    cbMode->setObjectName(QStringLiteral("cbMode"));
    cbMode->addItems({QString(), QString(), QString()});
    cbMode->setCurrentIndex(int(TFindMode::AnyPosition));
    gbOptions = new QGroupBox;
    auto* options = new QVBoxLayout(gbOptions);
    options->addWidget(chkCaseSensitive);
    options->addWidget(cbMode);
    rgScope = new QGroupBox;
    rgScope->setObjectName(QStringLiteral("rgScope"));
    rbGlobal = new QRadioButton;
    rbCurrentPage = new QRadioButton;
    rbGlobal->setChecked(true);
    auto* scope = new QVBoxLayout(rgScope);
    scope->addWidget(rbGlobal);
    scope->addWidget(rbCurrentPage);
    auto* groups = new QHBoxLayout;
    groups->addWidget(gbOptions);
    groups->addWidget(rgScope);
    auto* buttons = new QDialogButtonBox;
    btnOK = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FTextLabel);
    layout->addWidget(edTextValue);
    layout->addLayout(groups);
    layout->addWidget(buttons);
    ApplyLanguage(0);
}

void TfrmKVXFind::ApplyLanguage(int lang)
{
    setWindowTitle(GetString(lang, kCaption));
    FTextLabel->setText(GetString(lang, kTextToFind));
    gbOptions->setTitle(GetString(lang, kOptions).trimmed());
    chkCaseSensitive->setText(GetString(lang, kCaseSensitive));
    cbMode->setItemText(0, GetString(lang, kModeBeginning));
    cbMode->setItemText(1, GetString(lang, kModeExact));
    cbMode->setItemText(2, GetString(lang, kModeAny));
    rgScope->setTitle(GetString(lang, kScope).trimmed());
    rbGlobal->setText(GetString(lang, kGlobal));
    rbCurrentPage->setText(GetString(lang, kCurrentPage));
    btnOK->setText(GetString(lang, kOK));
    btnCancel->setText(GetString(lang, kCancel));
}

TKVXFindOptions TfrmKVXFind::Options() const
{
    TKVXFindOptions options;
    options.Text = edTextValue->text();
    options.Mode = TFindMode(std::clamp(cbMode->currentIndex(), 0, 2));
    options.CaseSensitive = chkCaseSensitive->isChecked();
    options.Global = rbGlobal->isChecked();
    return options;
}

void TfrmKVXFind::SetOptions(const TKVXFindOptions& options)
{
    edTextValue->setText(options.Text);
    cbMode->setCurrentIndex(int(options.Mode));
    chkCaseSensitive->setChecked(options.CaseSensitive);
    (options.Global ? rbGlobal : rbCurrentPage)->setChecked(true);
}

} // namespace vorel
