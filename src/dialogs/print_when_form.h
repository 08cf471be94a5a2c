#pragma once
// The print-when dialog: edits a copy of a control's or band's
// TKVPrintWhen and writes it back only on OK.

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace vorel {

class TKVPrintWhen;

// Opens an expression builder on a text; true with the new text when the
// user confirmed it.
using TExpressionEditor = std::function<bool(QString& expression)>;

class TfrmPrintWhen : public QDialog {
    Q_OBJECT
public:
    // groups: the report's group expressions offered for "when this group
    // changes". builder: the expression builder behind the two "..."
    // buttons; without one the buttons are hidden.
    TfrmPrintWhen(const TKVPrintWhen& settings, const QStringList& groups, int lang,
                  const TExpressionEditor& builder = {}, QWidget* parent = nullptr);
    ~TfrmPrintWhen() override;

    // The settings as the controls show them (an unticked condition is empty).
    void WriteTo(TKVPrintWhen& settings) const;

    QRadioButton* rbRepeatYes;
    QRadioButton* rbRepeatNo;
    QCheckBox* cbRePrintOnNewPage;
    QCheckBox* cbOnGroupChange;
    QComboBox* cbGroupName;
    QCheckBox* cbOnOverflow;
    QCheckBox* cbRemoveBlankLine;
    QCheckBox* cbShowIf;
    QLineEdit* edShowIf;
    QToolButton* btnShowIf;
    QCheckBox* cbHideWhen;
    QLineEdit* edHideWhen;
    QToolButton* btnHideWhen;

private:
    void UpdateEnabled();
    TExpressionEditor FBuilder;
};

// Shows the dialog modally; on OK the settings change, on Cancel nothing
// does. True when the user confirmed.
bool EditPrintWhen(TKVPrintWhen& settings, const QStringList& groups, int lang, const TExpressionEditor& builder = {},
                   QWidget* parent = nullptr);

} // namespace vorel
