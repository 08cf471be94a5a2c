#pragma once
// The tool's standard output and error. Messages quote names, texts and SQL
// from the files and commands they are about, and a hostile file can put
// terminal escape sequences or NULs there: everything the tool prints goes
// through one escaping (EscapeControlCharacters), line breaks kept, so what
// reaches the terminal is text the user can read, never a command to it.

#include <QIODevice>
#include <QString>

namespace vorel::cli {

class TEscapingOutput : public QIODevice {
public:
    // Writes into the file descriptor (1 or 2), which it does not own.
    explicit TEscapingOutput(int fileDescriptor);
    // The reason the first write failed (a full disk under a redirection,
    // a closed pipe), or "" when every byte went out.
    QString Failure() const { return FFailure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    int FHandle;
    QString FFailure;
};

// Routes Qt's own warnings (drivers, image readers) through the same
// escaping onto standard error.
void InstallEscapingMessageHandler();

} // namespace vorel::cli
