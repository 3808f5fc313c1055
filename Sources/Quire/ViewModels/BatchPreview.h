#pragma once

#include "Quire/ViewModels/DocumentTypes.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextSearch.h"
#include "Quire/ViewModels/TextTransform.h"
#include "QuireCore/AudioFile.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>

// What a batch operation will do to each file it acts on, worked out before
// it runs, so that the sheets (and the command line) can say it first. The
// operations themselves use the same per-file plans, so a preview and the run
// that follows it agree. Everything here is pure and may run off the GUI thread.

// One file under an operation.
struct PreviewLine {
    enum class Status { changes, unchanged, skipped };
    QUuid file;
    QString filename;
    Status status = Status::changes;
    // What the file gets ("Artist: Nina Simone · Title: Feeling Good",
    // "Title: time → Time", "→ 01 - Time.flac"); for a skipped file, why
    // ("the name doesn’t match the pattern").
    QString text;
    bool operator==(const PreviewLine&) const = default;
};

// The lines of the first few files that change and of the first few skipped
// ones (those left as they were only when no file changes or is skipped), with
// counts over every file.
struct BatchPreview {
    Q_DECLARE_TR_FUNCTIONS(BatchPreview)

public:
    QList<PreviewLine> lines;
    qsizetype changing = 0;
    qsizetype unchanged = 0;
    qsizetype skipped = 0;
    qsizetype changedFields = 0; // over the changing files
    // "2 files will change (3 fields), 1 skipped".
    QString summary;
    bool operator==(const BatchPreview&) const = default;
};

inline constexpr qsizetype previewLineLimit = 5;

// What an operation did: the files it changed, and each file it left alone with why.
struct BatchReport {
    qsizetype changed = 0;
    qsizetype unchanged = 0;
    QList<PreviewLine> skipped;
    bool operator==(const BatchReport&) const = default;
    qsizetype fileCount() const { return changed + unchanged + skipped.size(); }
    // Each skipped file: "name: reason".
    QStringList skippedLines() const;
};

// One file's plan: its line and the tags it gets (its own unless it changes).
struct FilePlan {
    PreviewLine line;
    TagSet tags;
    qsizetype changedFields = 0;
};
using FilePlanner = std::function<FilePlan(const AudioFile&)>;

FilePlan planTagsFromName(const AudioFile& file, const PatternExpression& expression);
FilePlan planTagsFromPath(const AudioFile& file, const PathPattern& pattern);
// A search that cannot run on a value (it ran out of time) skips the file.
FilePlan planFindReplace(const AudioFile& file, const TextSearch& search, const QString& replacement,
                         const QList<FieldKey>& fields);
// Only text that differs is stored: a field left as it was (an absent one included) stays so.
FilePlan planTextTransform(const AudioFile& file, TextTransform transform, const QList<FieldKey>& fields);
// An absent source clears the target.
FilePlan planCopyField(const AudioFile& file, const FieldKey& source, const FieldKey& target);

// The preview of a plan over `files`, lines in their order; none when `stop` was set meanwhile.
std::optional<BatchPreview> previewPlans(const QList<AudioFile>& files, const FilePlanner& plan,
                                         const std::atomic<bool>* stop = nullptr);

// What a rename from the pattern will do to each of `files` (the selection in
// list order), checked against the disk and against each other before
// anything moves: a file that moves has Outcome::moved and its target; a name
// that another file of the run gets first, or that is taken on disk, or one
// that cannot be given, leaves the file where it is, with the reason.
QList<PatternRenameReport::File> planPatternRename(const QList<AudioFile>& files, const QString& pattern);
BatchPreview previewPatternRename(const QList<AudioFile>& files, const QString& pattern);

// For a pattern that fills fields from names (or from folders, `pathPattern`),
// the first token that would fill nothing, with why: a field left out of
// `chosen`, or a token that names no field. Empty when every token fills its
// field. Custom item tokens ("{CATALOGNUMBER}") always fill their item.
QString unfilledTokenNote(const QString& pattern, const QList<FieldKey>& chosen, bool pathPattern);
