#pragma once
// What a file given to the tool holds, judged by its first bytes rather than
// its extension: a report form (binary "TPF0" or the text form) or a saved
// prepared report (a counted signature starting "KVXP"). A form saved as
// .zpg, or a prepared report named .kvx, is then read as what it is.

#include <QString>

namespace vorel::cli {

enum class TInputKind { Form, Prepared, Unknown };

// Unknown for a file that cannot be read or matches neither.
TInputKind SniffInput(const QString& fileName);

// The kind the file is read as: what its content says, else what its
// extension says (.zpg: a prepared report), so that the reader of that kind
// reports what is wrong with it.
TInputKind InputKind(const QString& fileName);

} // namespace vorel::cli
