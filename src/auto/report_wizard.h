#pragma once
// The report wizard's generation: a report form (title, column captions, one
// expression per chosen field, page numbers, groups and totals) made from the
// choices the wizard collects, in one of four layouts and four styles. No
// widgets: the designer's wizard dialog, `vorel wizard` and the tests all
// fill a TWizardChoices and call GenerateWizardReport.
//
// Every position and size here is in report pixels (1/96 inch).

#include "data/dataset.h"
#include "foundation/records/alignment.h"
#include "foundation/records/records.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vorel {

class TKVReport;
class TKVXDataManager;

enum class TWizardReportType { Blank, Columnar, Tabular, Labels };
enum class TWizardStyle { Standard, Executive, Presentative, Corporative };
enum class TWizardLabelShape { None, Rectangle, RoundRect };

// One row of the field list: a field of one of the data manager's data sets.
struct TWizardField {
    QString DataSetCaption; // the qualifier expressions use
    QString DisplayName;    // the field's label (caption texts, group list)
    QString FieldName;
    TFieldType Type = ftUnknown;
    int Length = 0; // characters; 0 measures as 10
    TAlignment Alignment = taLeftJustify;
    bool Visible = true;
    bool Ticked = false;

    // "Caption.FieldName": what the generated expressions and groups read.
    QString Reference() const;
    // "Caption.DisplayName": how the group lists show the field.
    QString GroupEntry() const;
};

// One of the three group choices: a field of the list, by index.
struct TWizardGroup {
    bool Ticked = false;
    int Field = -1; // index into TWizardChoices::Fields; -1: none chosen
};

// Where a calculated value starts over.
enum class TWizardReset { Unset, EndOfReport, EndOfPage, Group };

// One row of the calculated-values grid. A row whose three cells are all
// empty is skipped.
struct TWizardCalculation {
    QString Expression;
    bool HasMethod = false;
    TCalcType Method = ctNothing;
    TWizardReset Reset = TWizardReset::Unset;
    QString Group; // the group expression, for TWizardReset::Group
};

struct TWizardChoices {
    TWizardReportType Type = TWizardReportType::Columnar;
    TWizardStyle Style = TWizardStyle::Standard;
    QList<TWizardField> Fields;
    TWizardGroup Groups[3];
    QList<TWizardCalculation> Calculations;
    QString LabelsAcross = QStringLiteral("2"); // as typed; not a whole number of at least 1: 2
    TWizardLabelShape LabelShape = TWizardLabelShape::None;
    int PrintableWidth = 0; // W: the width a title or a rule line spans
    int VisibleWidth = 0;   // the design area's visible width; caps the sum of the field widths
};

// The rows of the field list: every field of every data set of the manager,
// in data set and field order, the visible fields of the first data set
// ticked. Data sets that are closed are listed without fields.
QList<TWizardField> WizardFieldList(const TKVXDataManager* manager);

// The width given to a field's caption and value: the width of Length
// letters "W" (10 when Length is 0) in the report's font made bold, italic
// and underlined, measured as the engine measures text.
int WizardFieldWidth(const TKVReport& report, const TWizardField& field);

// The format descriptor a field's value prints through, by its type (empty
// for types without one).
QString WizardFieldFormat(TFieldType type);

// The report's printable width: its paper less the page offsets.
int ReportPrintableWidth(const TKVReport& report);

// Replaces the report's bands by the generated ones. The report's data
// sets, data manager, paper and font stay as they are.
void GenerateWizardReport(TKVReport& report, const TWizardChoices& choices);

} // namespace vorel
