#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/JsonDecoding.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <future>
#include <optional>
#include <variant>

// The whole state an undo step returns to: the file list in order and the
// selection. Copying one copies pointers only (the files are copy-on-write).
struct FileSnapshot {
    QList<AudioFile> files;
    QSet<QUuid> selectedFiles;

    bool operator==(const FileSnapshot&) const = default;

    QJsonObject toJson() const;
    static Decoded<FileSnapshot> fromJson(const QJsonValue& json);
};

// What turns one state of the document into another. Neighbouring steps of a
// history differ in a few fields of some files, so a step keeps only that:
// for each file that differs, the values it had (runs of files that had the
// same ones share them), and the order and selection when they differ. A step
// that changed one field of 20,000 files then costs a few bytes a file rather
// than a copy of every record.
class SnapshotDelta {
public:
    SnapshotDelta() = default;
    // The delta that turns `base` into `target`.
    SnapshotDelta(const FileSnapshot& base, const FileSnapshot& target);
    FileSnapshot applyTo(const FileSnapshot& base) const;

private:
    using FieldValue = std::variant<std::optional<QString>, std::optional<qint64>, std::optional<bool>>;
    // The target's values of what differs in one file.
    struct FilePatch {
        QList<std::pair<TagField, FieldValue>> fields;
        std::optional<QMap<QString, QString>> custom;
        std::optional<QUrl> url;
        std::optional<QList<Artwork>> artwork;
        std::optional<std::optional<QDateTime>> lastSaved;
        std::optional<bool> modified;
        std::optional<AudioFile> whole; // what never changes did: the target's record as it is

        static FilePatch between(const AudioFile& base, const AudioFile& target);
        void applyTo(AudioFile& file) const;
        bool operator==(const FilePatch& other) const;
    };
    // `count` files from position `first` of the target on take patch `patch`.
    struct Run {
        qint32 first;
        qint32 count;
        qint32 patch;
    };

    // The target's files as positions in the base (-1: the next of `m_absent`);
    // none when both hold the same files in the same order.
    std::optional<QList<qint32>> m_order;
    QList<AudioFile> m_absent; // the target's files that the base lacks, in order
    QList<Run> m_runs;
    QList<FilePatch> m_patches;
    std::optional<QSet<QUuid>> m_selection; // the target's, when it differs
};

// The undo and redo history, each a list of steps with descriptions. The
// newest step of each history holds its whole state; every other step holds
// the delta to its state from the state of the step after it, and is
// resolved when that one is taken. A new step empties the redo history; the
// oldest step is dropped beyond maxDepth.
//
// A step's delta is worked out on a thread of its own, and the older state
// freed there: after an edit of every file of a large library both cost as
// much as the edit. Taking the step, dropping it or the stack waits for it.
class UndoStack {
public:
    explicit UndoStack(qsizetype maxDepth);

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    std::optional<QString> undoDescription() const;
    std::optional<QString> redoDescription() const;
    qsizetype maxDepth() const { return m_maxDepth; }
    // Oldest first.
    QStringList undoDescriptions() const;
    QStringList redoDescriptions() const;

    void push(const QString& description, const FileSnapshot& snapshot);
    // Moves the next step to the other history, remembering `current` there,
    // and returns the state to apply; none when there is nothing to move.
    std::optional<FileSnapshot> undo(const FileSnapshot& current);
    std::optional<FileSnapshot> redo(const FileSnapshot& current);
    void clear();

    // Adds files to the states of the newest undo steps: `additions` for the
    // newest first, then for the steps before it. The steps older than these
    // keep their states.
    void addToNewest(const QList<QList<AudioFile>>& additions);
    // Gives the undo step `fromNewest` steps before the newest (0: the newest) a new description.
    void describe(qsizetype fromNewest, const QString& description);

private:
    struct Step {
        QString description;
        std::optional<FileSnapshot> state;              // the newest step's
        SnapshotDelta fromNext;                         // every other step's, once worked out
        std::shared_future<SnapshotDelta> pendingDelta; // while it is being worked out
    };
    using History = QList<Step>; // oldest first

    void append(History& history, const QString& description, const FileSnapshot& state);
    std::optional<FileSnapshot> take(History& from, History& to, const FileSnapshot& current);
    static const SnapshotDelta& deltaOf(Step& step);
    static QStringList descriptions(const History& history);

    History m_undo;
    History m_redo;
    qsizetype m_maxDepth;
};
