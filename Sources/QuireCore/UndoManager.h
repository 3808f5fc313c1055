#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/JsonDecoding.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

// The whole state an undo step returns to: the file list in order and the
// selection. Copying one copies pointers only (the files are copy-on-write).
struct FileSnapshot {
    QList<AudioFile> files;
    QSet<QUuid> selectedFiles;

    bool operator==(const FileSnapshot&) const = default;

    QJsonObject toJson() const;
    static Decoded<FileSnapshot> fromJson(const QJsonValue& json);
};

struct UndoAction {
    QString description;
    FileSnapshot snapshot; // the state to return to when the action is applied

    bool operator==(const UndoAction&) const = default;
};

// The undo and redo history: whole-document snapshots with descriptions.
// A new step empties the redo history; the oldest step is dropped beyond maxDepth.
class UndoStack {
public:
    explicit UndoStack(qsizetype maxDepth)
        : m_maxDepth(maxDepth) {}

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    std::optional<QString> undoDescription() const;
    std::optional<QString> redoDescription() const;
    qsizetype maxDepth() const { return m_maxDepth; }
    const QList<UndoAction>& undoActions() const { return m_undo; }
    const QList<UndoAction>& redoActions() const { return m_redo; }

    void push(const QString& description, const FileSnapshot& snapshot);
    // Moves the next step to the other history, remembering `current` there,
    // and returns the state to apply; none when there is nothing to move.
    std::optional<FileSnapshot> undo(const FileSnapshot& current);
    std::optional<FileSnapshot> redo(const FileSnapshot& current);
    void clear();

private:
    QList<UndoAction> m_undo; // oldest first
    QList<UndoAction> m_redo;
    qsizetype m_maxDepth;
};
