#pragma once
// The report parameter dialog: one right-aligned label and one editor per
// asked parameter, placed exactly as the decision model lays them out
// (frame/parameter_dialog.h), OK as the default button and Cancel.

#include "frame/parameter_dialog.h"

#include <QDialog>
#include <QList>

namespace vorel {

class TfrmParameters : public QDialog {
    Q_OBJECT
public:
    // The dialog shows the model's editor states; the model is not kept.
    explicit TfrmParameters(const TParameterDialogModel& model, QWidget* parent = nullptr);

    // Writes the editors' states into the model's prompts (in order).
    void WriteBack(TParameterDialogModel& model) const;
    // The editor of a prompt (QLineEdit, QPlainTextEdit, QCheckBox,
    // QComboBox or QListWidget), tagged with its parameter's index.
    QWidget* Editor(int prompt) const { return FEditors.value(prompt); }

private:
    QList<QWidget*> FEditors;
};

} // namespace vorel
