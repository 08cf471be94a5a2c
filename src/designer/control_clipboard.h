#pragma once
// The designer's clipboard: one record per copied control, its class name
// and its stored properties in the component stream form. Process-wide, so
// that a control copied in one designer window pastes into another; it
// lives until the next copy replaces it.

#include <QByteArray>
#include <QList>
#include <QString>

namespace vorel {

class TKVReport;
class TKVXBand;
class TKVXControl;

struct TControlRecord {
    QString ClassName;
    QByteArray Form; // binary component stream of the control
};

QList<TControlRecord>& ControlClipboard();

// Replaces the clipboard with the selected controls of every band (bands in
// order). Returns how many were copied.
int CopySelectedControls(const TKVReport* report);
// Creates one control per record in the band, reads its properties, and
// selects it (after unselecting everything). A record of a class no longer
// registered as a control is skipped. Returns the controls made.
QList<TKVXControl*> PasteControls(TKVXBand* band);

} // namespace vorel
