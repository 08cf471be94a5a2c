#pragma once
// Names the expression behind an error of a report's preparation. The
// engine's messages are the expression language's own ("Expression expected
// but '*' found"); a user running a form needs to know which control or
// variable holds the text. Every expression of the report is evaluated
// once more against the open data, and the first that fails with the same
// message is named.

#include <QString>

namespace vorel {
class TKVReport;
}

namespace vorel::cli {

// "Detail1.Expression3, expression \"[amount] +* 2\"", or "" when no
// expression of the report fails with that message.
QString FindFailingExpression(TKVReport& report, const QString& message);

} // namespace vorel::cli
