// vorel info FORM.kvx: what a report form holds, without opening its data:
// paper and layout, data sets, bands with their controls, parameters and
// variables.

#include "cli/commands.h"
#include "cli/input_kind.h"

#include "data/csv_dataset.h"
#include "data/sql_dataset.h"
#include "foundation/values/errors.h"
#include "foundation/records/records.h"
#include "model/report.h"

#include <QMetaEnum>
#include <QMetaProperty>

namespace vorel::cli {

const char* const kInfoUsage = "  info FORM.kvx        list a report form's bands, controls, data sets,\n"
                               "                       parameters and variables\n";

namespace {

// The enumerator name of an enum property ("psA4"), or "" when there is none.
QString EnumText(const QObject* object, const char* propertyName)
{
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(propertyName);
    if (index < 0)
        return {};
    const QMetaProperty property = meta->property(index);
    const QVariant value = property.read(object);
    if (!property.isEnumType())
        return value.toString();
    const char* key = property.enumerator().valueToKey(value.toInt());
    return key ? QString::fromLatin1(key) : value.toString();
}

// An enumerator without its lower-case prefix: "psA4" -> "A4".
QString Bare(const QString& key)
{
    qsizetype i = 0;
    while (i < key.size() && key[i].isLower())
        ++i;
    return i < key.size() ? key.mid(i) : key;
}

QString StringProperty(const QObject* object, const char* propertyName)
{
    const int index = object->metaObject()->indexOfProperty(propertyName);
    return index < 0 ? QString() : object->metaObject()->property(index).read(object).toString();
}

QString ShortClass(const QObject* object)
{
    return QString::fromLatin1(object->metaObject()->className()).section(QStringLiteral("::"), -1);
}

// One line of text, shortened for the listing.
QString Brief(QString text, int maxChars = 60)
{
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.size() > maxChars ? text.left(maxChars - 3) + QStringLiteral("...") : text;
}

QString DescribeDataSet(const TDataSet* dataSet)
{
    if (const auto* sql = qobject_cast<const TSqlDataSet*>(dataSet)) {
        QString text = sql->Connection() + QStringLiteral("  ") + Brief(sql->SQL().simplified(), 70);
        if (sql->Master())
            text += QStringLiteral("  (detail of %1 on %2)").arg(sql->Master()->Name(), sql->MasterFields());
        return text;
    }
    if (const auto* csv = qobject_cast<const TCsvDataSet*>(dataSet))
        return csv->FileName();
    return {};
}

QString DescribeControl(const TKVXControl* control)
{
    QString content;
    for (const char* property : {"Expression", "DisplayName", "FileName"}) {
        content = StringProperty(control, property);
        if (!content.isEmpty())
            break;
    }
    const QString sysData = EnumText(control, "SysData");
    if (content.isEmpty() && !sysData.isEmpty())
        content = sysData;
    QString line = QStringLiteral("%1%2 at %3,%4 size %5x%6")
                       .arg(control->Name().isEmpty() ? QString() : control->Name() + u' ', ShortClass(control))
                       .arg(control->Left())
                       .arg(control->Top())
                       .arg(control->Width())
                       .arg(control->Height());
    if (!content.isEmpty())
        line += QStringLiteral(": ") + Brief(content);
    return line;
}

} // namespace

int RunInfo(const QStringList& givenArgs, Streams io)
{
    // "--" ends the options (there are none): a form may start with '-'.
    const bool optionsEnded = !givenArgs.isEmpty() && givenArgs.first() == u"--";
    const QStringList args = optionsEnded ? givenArgs.mid(1) : givenArgs;
    if (args.size() != 1 || (!optionsEnded && args.first().startsWith(u'-') && args.first() != u"-")) {
        io.Err << "vorel info: expected one report form\nUsage:\n" << kInfoUsage;
        return kExitUsage;
    }
    const QString& fileName = args.first();
    if (SniffInput(fileName) == TInputKind::Prepared) {
        io.Err << "vorel info: " << fileName << ": a prepared report, not a report form (vorel render reads it)\n";
        return kExitBadInput;
    }
    TKVReport report;
    TReportLoadResult loaded;
    QString formName;
    try {
        TReportLoadOptions options;
        // Listing a form must not need its data: nothing opens.
        options.AllowUnresolvedReferences = true;
        options.EditForm = [&formName](FormComponent& tree) {
            formName = tree.Name; // the report keeps its own name; the form's is the one to show
            std::function<void(FormComponent&)> strip = [&](FormComponent& entry) {
                std::erase_if(entry.Properties, [](const FormProperty& p) {
                    return p.Name.compare(u"Active", Qt::CaseInsensitive) == 0;
                });
                for (FormComponent& child : entry.Children)
                    strip(child);
            };
            strip(tree);
        };
        loaded = report.LoadReport(fileName, options);
    } catch (const EKVXError& e) {
        io.Err << "vorel info: " << e.Message() << "\n";
        return kExitBadInput;
    }

    TKVXPrinter* printer = report.PrinterSetting();
    io.Out << (formName.isEmpty() ? QStringLiteral("(unnamed report)") : formName) << " (" << fileName << ")\n";
    io.Out << "  paper " << Bare(EnumText(printer, "PaperSize")) << ' ' << printer->GetPaperSizeWidth() << 'x'
           << printer->GetPaperSizeHeight() << " (0.1 mm), " << Bare(EnumText(printer, "Orientation")) << ", "
           << report.ColumnNumber() << (report.ColumnNumber() == 1 ? " column, " : " columns, ") << report.BarNumber()
           << (report.BarNumber() == 1 ? " bar" : " bars") << (report.TwoPass() ? ", two passes" : "") << "\n";
    if (report.DataSet())
        io.Out << "  data set " << report.DataSet()->Name() << "\n";

    io.Out << "Data sets:\n";
    int dataSets = 0;
    for (int i = 0; i < report.ComponentCount(); ++i)
        if (const auto* dataSet = qobject_cast<const TDataSet*>(report.Components(i))) {
            io.Out << "  " << dataSet->Name() << "  " << ShortClass(dataSet) << "  " << DescribeDataSet(dataSet) << "\n";
            ++dataSets;
        }
    if (dataSets == 0)
        io.Out << "  (none in the form)\n";

    io.Out << "Bands:\n";
    for (const TKVXBand* band : report.Bands()) {
        io.Out << "  " << (band->Name().isEmpty() ? QString() : band->Name() + u' ') << Bare(EnumText(band, "BandType"))
               << " band, height " << band->Height();
        if (!band->Expression().isEmpty())
            io.Out << ", group on " << band->Expression();
        if (band->GetDataset() && band->GetDataset() != report.DataSet())
            io.Out << ", data set " << band->GetDataset()->Name();
        io.Out << ", " << band->ObjectCount() << (band->ObjectCount() == 1 ? " control\n" : " controls\n");
        for (const TKVXControl* control : band->Objects())
            io.Out << "    " << DescribeControl(control) << "\n";
    }

    io.Out << "Parameters:\n";
    const TKVXParameters* parameters = report.Parameters();
    for (int i = 0; i < parameters->Count(); ++i) {
        const TKVXParameter* p = parameters->GetParameter(i);
        io.Out << "  " << p->Name() << "  \"" << p->DisplayLabel() << "\"  " << Bare(EnumText(p, "ParameterEditor"))
               << ", " << Bare(EnumText(p, "ParameterMode")) << "\n";
    }
    if (parameters->Count() == 0)
        io.Out << "  (none)\n";

    io.Out << "Variables:\n";
    const TKVXVariables* variables = report.Variables();
    for (int i = 0; i < variables->Count(); ++i) {
        const TKVXVariable* v = variables->GetVariable(i);
        const TKVXCalculation* calc = v->Calculation();
        io.Out << "  " << v->Name() << " = " << Brief(v->Expression()) << "  (" << Bare(EnumText(calc, "CalcType"))
               << ", reset " << Bare(EnumText(calc, "ResetType")) << ")\n";
    }
    if (variables->Count() == 0)
        io.Out << "  (none)\n";

    // The listing first, then what is wrong with it, also when both go to one place.
    io.Out.flush();
    for (const QString& warning : loaded.Warnings())
        io.Err << "vorel info: " << fileName << ": " << warning << "\n";
    return kExitOk;
}

} // namespace vorel::cli
