#pragma once
// TfrmKVXFind: the find dialog of the preview (text, case, mode, scope),
// its texts in the report's language.

#include "preview/text_search.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorel {

class TfrmKVXFind : public QDialog {
    Q_OBJECT
public:
    explicit TfrmKVXFind(QWidget* parent = nullptr);

    // Sets every caption from the language tables (language index 0..127).
    void ApplyLanguage(int lang);
    TKVXFindOptions Options() const;
    void SetOptions(const TKVXFindOptions& options);

    QLineEdit* edTextValue;
    QCheckBox* chkCaseSensitive;
    QComboBox* cbMode;
    QGroupBox* gbOptions;
    QGroupBox* rgScope;
    QRadioButton* rbGlobal;
    QRadioButton* rbCurrentPage;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    QLabel* FTextLabel;
};

} // namespace vorel
