#pragma once

#include "QuireCore/UndoManager.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

// The undo and redo history of the document's files, and the merge of a quick
// run of edits of one field into one step. The views read what can be undone
// and redone; the document records the steps and takes them.
class EditHistory : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY stateChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY stateChanged)
    Q_PROPERTY(std::optional<QString> undoDescription READ undoDescription NOTIFY stateChanged)
    Q_PROPERTY(std::optional<QString> redoDescription READ redoDescription NOTIFY stateChanged)

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    enum class Direction { undo, redo };

    static constexpr qsizetype depth = 200;
    // Edits of one field of one selection, each within this long of the one before, are one step.
    static constexpr auto mergeWindow = std::chrono::seconds(1);

    explicit EditHistory(QObject* parent = nullptr);

    bool canUndo() const { return m_steps.canUndo(); }
    bool canRedo() const { return m_steps.canRedo(); }
    std::optional<QString> undoDescription() const { return m_steps.undoDescription(); }
    std::optional<QString> redoDescription() const { return m_steps.redoDescription(); }
    // Oldest first.
    QStringList undoDescriptions() const { return m_steps.undoDescriptions(); }
    QStringList redoDescriptions() const { return m_steps.redoDescriptions(); }

    // Tests and benchmarks set the time the merge window is measured in.
    void setClock(Clock clock);

    // A new step that returns to `before`; it ends any merge of edits and empties the redo history.
    void record(const QString& description, const FileSnapshot& before);
    // Records the step for an edit of `field` of `selection`, unless the edit joins the step of the
    // edits of that field and selection just before it.
    void recordEdit(const QString& description, const FileSnapshot& before, const FieldKey& field,
                    const QSet<QUuid>& selection);
    // The next edit starts a step of its own.
    void endMerge() { m_mergingField.reset(); }

    // Moves the next step to the other history, remembering `current` there, and returns the state
    // to apply; none when there is no step.
    std::optional<FileSnapshot> take(Direction direction, const FileSnapshot& current);
    // Undoes take(): the step goes back, with `taken`, the state take() returned.
    void giveBack(Direction direction, const FileSnapshot& taken);

    // --- An import that adds files while the user works ---
    // The newest step is an import's, which goes on adding files (added());
    // the steps recorded meanwhile hold the files it had added by then. When
    // it ends, each of them is given the files added after it was recorded,
    // so that undoing it leaves them in place, and the import's step its
    // description. Taking a step meanwhile ends this.
    void beginAdding();
    void added(const QList<AudioFile>& files);
    void endAdding(const QString& description);

signals:
    void stateChanged();

private:
    // Runs `change` on the steps and tells the views when what they show changed.
    void changeSteps(const std::function<void()>& change);

    UndoStack m_steps{depth};
    qint64 m_recorded = 0; // steps ever recorded: the serial of the newest
    struct Adding {
        qint64 importStep;                                // its serial
        QList<std::pair<qint64, QList<AudioFile>>> added; // with the newest serial then, while steps follow
    };
    std::optional<Adding> m_adding;
    Clock m_clock;
    std::optional<FieldKey> m_mergingField;
    QSet<QUuid> m_mergingSelection;
    std::chrono::steady_clock::time_point m_lastEditTime{};
};
