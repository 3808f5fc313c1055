#pragma once

#include "CliCommand.h"
#include "Quire/ViewModels/DocumentViewModel.h"

#include <QJsonArray>
#include <QTextStream>

// Runs checked commands against one document and prints their results. All
// the work is the document's: this class only turns words into operations and
// results into text.
class CliSession {
public:
    enum class Status { ok = 0, failed = 1 };

    CliSession(DocumentViewModel& document, QTextStream& out, QTextStream& err, bool json);

    // Imports the locations, waiting for the import to end, and selects every file.
    Status load(const QList<QUrl>& locations);
    Status run(const CliCommand& command);
    // A dry run writes nothing into audio files (save and export-artwork only
    // say what they would do); the renames it makes are undone by undoEverything().
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // Undoes every step, moving renamed files back.
    Status undoEverything();
    // Tells the user about edits that were not saved.
    void reportUnsavedChanges();
    // With --json, prints the one JSON document of the run: each command's
    // line and result, in order. Messages go to standard error.
    void finish();

private:
    friend struct CliCommandTable; // the command table names the handlers below

    Status execute(const CliCommand& command);
    // Prints the document's notices and dismisses them; failed when there were any.
    Status takeNotices();
    // Typed text for a field of the selection or of one file, through the document's check.
    Status edit(const FieldKey& field, const QString& text, std::optional<QUuid> file = std::nullopt);
    // The loaded files whose file name is `name`.
    QList<AudioFile> filesNamed(const QString& name) const;
    // The loaded files a select argument names: a file name, an existing path
    // (a folder selects what lies below it), or a shell-style pattern matched
    // against names, paths and paths below the loaded folders.
    QList<AudioFile> filesSelectedBy(const QString& selector) const;
    // The one loaded file named `name`, or none with a message.
    std::optional<AudioFile> singleFileNamed(const QString& name);
    Status nothingToActOn(const QString& what);
    bool requireSelection(const CliCommand& command);
    void waitUntil(const std::function<bool()>& done);
    // Runs the operation; whether it changed any selected file's tags.
    bool changesSelectedTags(const std::function<void()>& operation);
    // Each file a batch operation left alone, with why, on standard error.
    void reportSkipped(const BatchReport& report);
    // A command's result: collected as JSON with --json, printed as text otherwise.
    void result(const QJsonValue& json, const QString& text);
    Status count(qsizetype count);
    static std::optional<qint64> number(const CliCommand& command, const char* option);
    static QList<FieldKey> searchFields(const CliCommand& command);

    // One handler a command (see CliCommands.cpp for which is which).
    Status select(const CliCommand& command);
    Status filter(const CliCommand& command);
    Status set(const CliCommand& command);
    Status setFile(const CliCommand& command);
    Status compilation(const CliCommand& command);
    Status copyTags(const CliCommand& command);
    Status pasteTags(const CliCommand& command);
    Status remove(const CliCommand& command);
    // Undoes or redoes one step and waits for its moves; whether it was applied.
    bool applyStep(bool undoing);
    Status undoOrRedo(const CliCommand& command);
    Status rename(const CliCommand& command);
    Status renamePattern(const CliCommand& command);
    Status tagsFromFilename(const CliCommand& command);
    Status tagsFromPath(const CliCommand& command);
    Status numberTracks(const CliCommand& command);
    Status countMatches(const CliCommand& command);
    Status replace(const CliCommand& command);
    Status transform(const CliCommand& command);
    Status copyField(const CliCommand& command);
    Status setArtwork(const CliCommand& command);
    Status removeArtwork(const CliCommand& command);
    Status optimizeArtwork(const CliCommand& command);
    Status importArtwork(const CliCommand& command);
    Status exportArtwork(const CliCommand& command);
    Status save(const CliCommand& command);
    Status list(const CliCommand& command);
    Status show(const CliCommand& command);
    Status history(const CliCommand& command);
    Status json(const CliCommand& command);
    Status lookup(const CliCommand& command);
    // Starts a lookup request and waits for its answer; none when it failed (a notice says why).
    template <typename T>
    std::optional<T> awaited(const std::function<void(ReleaseLookup::Completion<T>)>& start);

    DocumentViewModel& m_document;
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_json;
    bool m_dryRun = false;
    QList<QUrl> m_locations; // as given on the command line
    QJsonArray m_results;
    QString m_current; // the line of the command that runs
};
