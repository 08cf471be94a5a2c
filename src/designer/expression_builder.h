#pragma once
// TExpressionBuilder: writes an expression with the names it may use at
// hand (the fields of the report's data sets, its variables and
// parameters, the system variables, the functions) and checks it as it is
// typed, with the expression language's own messages.

#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace vorel {

class TKVReport;

class TExpressionBuilder : public QDialog {
    Q_OBJECT
public:
    TExpressionBuilder(TKVReport* report, const QString& expression, QWidget* parent = nullptr);
    QString Expression() const;
    void SetExpression(const QString& expression);
    // What the check says of the text now: empty when it parses.
    QString Problem() const { return FProblem; }

    // Parses the expression as the report would (its data manager and
    // names): empty when it parses, else the language's message with the
    // character it stopped at (counted from 1).
    static QString Check(TKVReport* report, const QString& expression);

private:
    void Recheck();
    void Insert(const QString& text);

    TKVReport* FReport;
    QPlainTextEdit* FEdit;
    QLabel* FStatus;
    QPushButton* FOk = nullptr;
    QString FProblem;
};

} // namespace vorel
