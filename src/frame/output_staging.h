#pragma once
// Where a writer's files go until they are complete (vorel render,
// vorel::Report). Every file of a run (the output, the numbered files of
// one file per page, the pictures an HTML page refers to) is written into a
// private folder beside the target and moved into place only when the whole
// run succeeded, so a failure, a cancel or a killed process never leaves a
// partial result, and an existing output stays as it was until the new one
// is complete.
//
// A target that is no regular file (/dev/stdout, /dev/null, a pipe) is never
// replaced: the finished file is copied into it. The same holds for an
// existing file in a folder the user cannot create files in.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

namespace vorel {

class TOutputStaging {
public:
    // Checks the target before any work is done and creates the private
    // folder (".TAG-XXXXXX" beside the target, or "TAG-XXXXXX" in the
    // temporary folder when the finished file is copied). Raises EKVXError
    // naming the output for a folder that does not exist or cannot be
    // written, and for an output that is a folder.
    TOutputStaging(const QString& output, bool separateFiles, const QString& tag = QStringLiteral("vorel"));
    // Removes the private folder and whatever it holds.
    ~TOutputStaging();
    TOutputStaging(const TOutputStaging&) = delete;
    TOutputStaging& operator=(const TOutputStaging&) = delete;

    // The name the writers are given: the output's file name in the private folder.
    QString StagedFile() const { return FStagedFile; }
    // The private folder.
    QString StagingFolder() const;
    // The output's own file name (a link's target name when the output is a link).
    QString FileName() const { return FFileName; }
    // The folder the files finally go to.
    QString TargetFolder() const { return FTargetFolder; }
    // Moves every staged file into the target folder, the files named in
    // `outputs` (file names, overwritten when present) last. Any other file
    // (an HTML page's picture) must not replace an existing one. Raises
    // EKVXError naming the file that cannot be placed; nothing is moved when
    // a check fails before the first move.
    void Publish(const QStringList& outputs);
    // The output is a device or a pipe: writing into it may wait for a
    // reader, and what was written cannot be taken back.
    bool WritesIntoSpecialFile() const { return FSpecialTarget; }
    // A message of a writer with the private folder's name replaced by the
    // target folder's, as the user named it.
    QString Translate(QString message) const;

    // Removes a private folder while a writer may still be creating files
    // in it (from another thread: a signal watcher): it is first moved to a
    // name only this knows, so that no new file can be started in it, then
    // removed, repeatedly, until nothing is left.
    static void RemoveFolderUnderWriter(const std::string& path);

private:
    void ReserveNames();

    std::unique_ptr<QTemporaryDir> FDir;
    QStringList FReserved; // stand-ins for names the target folder has
    QString FTargetFolder; // absolute
    QString FFileName;     // the output's own file name
    QString FStagedFile;
    QString FCopyTarget;   // non-empty: copy into this file instead of renaming
    bool FSpecialTarget = false;
};

} // namespace vorel
