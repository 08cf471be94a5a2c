#include "designer/expression_builder.h"

#include "expr/expr_parser.h"
#include "foundation/language/language.h"
#include "model/report.h"
#include "model/report_data.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vorel {

QString TExpressionBuilder::Check(TKVReport* report, const QString& expression)
{
    if (!report || expression.trimmed().isEmpty())
        return QString();
    try {
        TExprParser parser(report->GetDataManager(), expression, report->VariableEvent());
    } catch (const EKVXError& e) {
        QString message = QString::fromUtf8(e.what());
        if (e.Place().Position >= 0)
            message += QObject::tr(" (at character %1)").arg(e.Place().Position + 1);
        return message;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

TExpressionBuilder::TExpressionBuilder(TKVReport* report, const QString& expression, QWidget* parent)
    : QDialog(parent), FReport(report)
{
    setWindowTitle(tr("Expression builder"));
    resize(640, 460);
    auto* layout = new QVBoxLayout(this);
    FEdit = new QPlainTextEdit(this);
    FEdit->setObjectName("Expression");
    FEdit->setMaximumHeight(90);
    layout->addWidget(FEdit);
    FStatus = new QLabel(this);
    FStatus->setObjectName("Check");
    FStatus->setWordWrap(true);
    layout->addWidget(FStatus);

    // The live names: fields of data sets that can be opened (a data set
    // that cannot is left out; its fields would not parse either).
    auto* tabs = new QTabWidget(this);
    auto addList = [&](const QString& title, const QStringList& names, const QStringList& tips = {}) {
        auto* list = new QListWidget(tabs);
        list->setObjectName(title);
        for (qsizetype i = 0; i < names.size(); ++i) {
            auto* item = new QListWidgetItem(names[i], list);
            if (i < tips.size())
                item->setToolTip(tips[i]);
        }
        connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
            QString text = item->text();
            if (text.contains(u' ') && !text.contains(u'('))
                text = u'[' + text + u']';
            Insert(text);
        });
        tabs->addTab(list, title);
    };
    QStringList fields, variables, system, functions, tips;
    if (report) {
        try {
            OpenReportDataSets(*report);
        } catch (const std::exception&) {
        }
        TStringList list;
        try {
            report->AssignDataSets(&list);
        } catch (const std::exception&) {
        }
        fields = list.List();
        for (int i = 0; i < report->Variables()->Count(); ++i)
            variables.append(report->Variables()->GetVariable(i)->Name());
        for (int i = 0; i < report->Parameters()->Count(); ++i)
            variables.append(report->Parameters()->GetParameter(i)->Name());
    }
    for (int i = 0; i < KVX_SYSDATA_COUNT; ++i)
        system.append(GetSysDataName(0, TKVXSysDataType(i)));
    for (const TExprFunctionInfo& info : ExprFunctionTable()) {
        functions.append(QString::fromUtf16(info.Name) + QString::fromLatin1(info.Arguments));
        tips.append(QString::fromLatin1(info.Description));
    }
    addList(tr("Fields"), fields);
    addList(tr("Variables"), variables);
    addList(tr("System"), system);
    addList(tr("Functions"), functions, tips);
    layout->addWidget(tabs);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    FOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(FEdit, &QPlainTextEdit::textChanged, this, [this] { Recheck(); });
    SetExpression(expression);
}

QString TExpressionBuilder::Expression() const
{
    return FEdit->toPlainText();
}

void TExpressionBuilder::SetExpression(const QString& expression)
{
    FEdit->setPlainText(expression);
    Recheck();
}

void TExpressionBuilder::Insert(const QString& text)
{
    FEdit->insertPlainText(text);
    FEdit->setFocus();
}

void TExpressionBuilder::Recheck()
{
    FProblem = Check(FReport, Expression());
    FStatus->setText(FProblem.isEmpty() ? tr("The expression is valid.") : FProblem);
    FStatus->setStyleSheet(FProblem.isEmpty() ? QStringLiteral("color: #1a6b1a;") : QStringLiteral("color: #a01010;"));
    // A text that does not parse would only fail when the report prepares.
    if (FOk)
        FOk->setEnabled(FProblem.isEmpty());
}

} // namespace vorel
