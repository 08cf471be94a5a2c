#include "frame/parameter_values.h"

#include "frame/parameter_dialog.h"
#include "foundation/values/errors.h"

namespace vorel {

namespace {

bool IsCheckBoxText(const QString& text)
{
    const QString t = text.trimmed().toLower();
    for (const char* known : {"true", "1", "yes", "on", "false", "0", "no", "off"})
        if (t == QLatin1String(known))
            return true;
    return false;
}

// The parameter's index; an unknown name raises, listing the parameters.
int RequireParameter(const TKVXParameters& parameters, const QString& name, const QString& prefixFormat)
{
    const int index = FindParameterByName(parameters, name, prefixFormat);
    if (index >= 0)
        return index;
    const QStringList names = ParameterNames(parameters);
    throw EKVXError(QStringLiteral("%1: the report has no parameter named %2 (it has: %3)")
                        .arg(prefixFormat.arg(name), name,
                             names.isEmpty() ? QStringLiteral("none") : names.join(u", ")));
}

bool IsText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: return true;
    default: return false;
    }
}

// What an edit or memo takes as it is: what the report's values hold.
bool IsPlainValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime: return true;
    default: return false;
    }
}

} // namespace

QStringList ParameterNames(const TKVXParameters& parameters)
{
    QStringList names;
    for (int i = 0; i < parameters.Count(); ++i)
        names << parameters.GetParameter(i)->Name();
    return names;
}

int FindParameterByName(const TKVXParameters& parameters, const QString& name, const QString& prefixFormat)
{
    for (int i = 0; i < parameters.Count(); ++i)
        if (parameters.GetParameter(i)->Name() == name)
            return i;
    int found = -1;
    for (int i = 0; i < parameters.Count(); ++i) {
        if (parameters.GetParameter(i)->DisplayLabel() != name)
            continue;
        if (found >= 0)
            throw EKVXError(QStringLiteral("%1: the parameters %2 and %3 both show %4; name one of them")
                                .arg(prefixFormat.arg(name), parameters.GetParameter(found)->Name(),
                                     parameters.GetParameter(i)->Name(), name));
        found = i;
    }
    return found;
}

void SetParameterText(TKVXParameters& parameters, const QString& name, const QString& text,
                      const QString& prefixFormat)
{
    const int index = RequireParameter(parameters, name, prefixFormat);
    const TKVXParameter* parameter = parameters.GetParameter(index);
    TParameterDialogModel model;
    TParameterPrompt prompt;
    prompt.ParamIndex = index;
    prompt.Name = parameter->Name();
    prompt.Editor = parameter->ParameterEditor();
    prompt.Items = parameter->ParamPromptValues()->List();
    if (prompt.Editor == peCheckBox && !IsCheckBoxText(text))
        throw EKVXError(QStringLiteral("%1: \"%2\" is no check box value (true, 1, yes, on or false, 0, no, off)")
                            .arg(prefixFormat.arg(name), text));
    if (!SetPromptFromText(prompt, text))
        throw EKVXError(QStringLiteral("%1: \"%2\" is not one of %3")
                            .arg(prefixFormat.arg(name), text, prompt.Items.join(QStringLiteral(", "))));
    model.Prompts.append(prompt);
    ApplyParameterDialog(parameters, model);
}

void SetParameterValue(TKVXParameters& parameters, const QString& name, const QVariant& value,
                       const QString& prefixFormat)
{
    if (IsText(value)) {
        SetParameterText(parameters, name, value.toString(), prefixFormat);
        return;
    }
    const int index = RequireParameter(parameters, name, prefixFormat);
    TKVXParameter* parameter = parameters.GetParameter(index);
    const QString typeName = value.isValid() ? QString::fromLatin1(value.metaType().name()) : QStringLiteral("null");
    switch (parameter->ParameterEditor()) {
    case peCheckBox:
        if (value.typeId() == QMetaType::Bool) {
            parameter->SetValue(Variant(value.toBool()));
            return;
        }
        if (value.isValid() && !value.isNull() && value.canConvert<QString>() && IsPlainValue(value)) {
            SetParameterText(parameters, name, value.toString(), prefixFormat);
            return;
        }
        break;
    case peCombobox:
    case peListBox:
        if (!value.isValid() || value.isNull()) {
            parameter->SetValue(Variant::Null()); // nothing selected
            return;
        }
        if (IsPlainValue(value)) {
            SetParameterText(parameters, name, value.toString(), prefixFormat);
            return;
        }
        break;
    default:
        if (IsPlainValue(value) && !value.isNull()) {
            parameter->SetValue(Variant::FromQVariant(value));
            return;
        }
        break;
    }
    throw EKVXError(QStringLiteral("%1: a %2 value is nothing the parameter's editor takes").arg(prefixFormat.arg(name), typeName));
}

} // namespace vorel
