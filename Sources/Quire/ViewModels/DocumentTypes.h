#pragma once

#include "QuireCore/AudioFile.h"

#include <QCollatorSortKey>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <optional>

// Progress of the running import: files to read, and how many have finished.
struct ImportProgress {
    qint64 total = 0;
    qint64 completed = 0;
    qint64 fromCache = 0; // of those completed, taken from the read cache
    bool operator==(const ImportProgress&) const = default;
};

// Progress of the running save: files to write, and how many have finished.
struct SaveProgress {
    qint64 total = 0;
    qint64 completed = 0;
    bool operator==(const SaveProgress&) const = default;
};

// Progress of the running background work (artwork optimisation, batch
// artwork import or export): its steps, and how many have finished.
struct WorkProgress {
    qint64 total = 0;
    qint64 completed = 0;
    bool operator==(const WorkProgress&) const = default;
};

// The sortable columns of the file table, each with its key on AudioFile;
// `field` is any other field or custom item shown as a column, by its text.
enum class SortKey {
    filename,
    title,
    artist,
    album,
    track,
    duration,
    format,
    bitrate,
    sampleRate,
    folder,
    field
};

struct SortDescriptor {
    SortKey key = SortKey::filename;
    bool ascending = true;
    std::optional<FieldKey> field{}; // for SortKey::field
    bool operator==(const SortDescriptor&) const = default;

    // Negative, zero or positive as `a` sorts before, with, or after `b`.
    int compare(const AudioFile& a, const AudioFile& b) const;

    // A sort of many files compares each with many others. Under a key that
    // orders by a text first, the texts' collation keys order as compare()
    // does (made once a file, they compare as bytes), and compareEqualTexts()
    // takes over when they are equal.
    bool ordersByText() const;
    QCollatorSortKey collationKey(const AudioFile& file) const;
    int compareEqualTexts(const AudioFile& a, const AudioFile& b) const;

    // Under a key that orders by numbers, the numbers compare() orders a file
    // by, made once a file; none where it falls back to text (a track "A1").
    struct Numbers {
        qint64 first = 0;
        qint64 second = 0;
        double real = 0;
        auto operator<=>(const Numbers&) const = default;
    };
    std::optional<Numbers> numbers(const AudioFile& file) const;
};

// Tags and artwork copied from one file, for pasting onto others.
struct TagClipboard {
    std::optional<TagSet> tags;
    std::optional<QList<Artwork>> artwork; // present whenever something was copied
    std::optional<QString> sourceFilename;
    bool operator==(const TagClipboard&) const = default;
};

// The outcome of renaming one file from the file list (a refusal is its reason instead).
enum class FileRenameResult {
    done,      // moved; an undo step was recorded
    unchanged, // the cleaned name gives the current location
};

// What a rename from a pattern did to each selected file.
struct PatternRenameReport {
    enum class Outcome {
        moved,         // in a plan: is to move
        unchanged,     // the pattern gives the file's own name
        valuesEmpty,   // every value the pattern names is empty for the file
        hiddenOrEmpty, // the name would be hidden or empty
        refused,       // the name holds a character file names cannot
        collides,      // a file before it in the run gets the same name
        taken,         // another file has the name
        notMoved,      // the move failed
    };
    struct File {
        QUuid id;
        QString filename; // before the rename
        QString newName;  // the pattern's expansion
        Outcome outcome = Outcome::unchanged;
        QString reason; // why the file did not move, for the user; empty when moved or unchanged
        QUrl target;    // where it moves (Outcome::moved)
        bool operator==(const File&) const = default;
    };
    QList<File> files; // in list order
    int movedCount() const;
    // Each file that stayed though its name should change: "name: reason".
    QStringList skippedLines() const;
};

// Something the user should hear of: a save, import, recovery or rename that
// did not go as asked. Notices queue up and stay until dismissed; a new one
// never replaces an older one.
struct Notice {
    enum class Kind {
        save,       // files that could not be saved
        import,     // files that could not be read or opened
        recovery,   // files put right after an interrupted save
        rename,     // files that could not be moved back or forth on disk
        readInPart, // files whose tags could be read only in part
        unsaved,    // unsaved changes of an earlier run that could not be restored
        pictures,   // pictures that could not be read again from their files
        cache,      // the read cache could not be used and was made anew
        lookup,     // an online lookup that failed
    };
    quint64 id = 0;
    Kind kind = Kind::save;
    QString text;
    QStringList files; // paths of the files concerned
    bool operator==(const Notice&) const = default;
};
