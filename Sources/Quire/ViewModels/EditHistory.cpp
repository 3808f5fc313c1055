#include "Quire/ViewModels/EditHistory.h"

#include <tuple>

EditHistory::EditHistory(QObject* parent)
    : QObject(parent)
    , m_clock([] { return std::chrono::steady_clock::now(); }) {}

void EditHistory::setClock(Clock clock) {
    m_clock = std::move(clock);
}

void EditHistory::changeSteps(const std::function<void()>& change) {
    const auto shown = [this] {
        return std::tuple{canUndo(), canRedo(), undoDescription(), redoDescription()};
    };
    const auto before = shown();
    change();
    if (shown() != before)
        emit stateChanged();
}

void EditHistory::record(const QString& description, const FileSnapshot& before) {
    endMerge();
    changeSteps([&] { m_steps.push(description, before); });
    ++m_recorded;
}

// The window slides: a run of edits each within the window of the one before stays one step.
void EditHistory::recordEdit(const QString& description, const FileSnapshot& before, const FieldKey& field,
                             const QSet<QUuid>& selection) {
    const auto now = m_clock();
    const bool joins =
        m_mergingField == field && m_mergingSelection == selection && now - m_lastEditTime < mergeWindow;
    if (!joins)
        record(description, before);
    m_mergingField = field;
    m_mergingSelection = selection;
    m_lastEditTime = now;
}

std::optional<FileSnapshot> EditHistory::take(Direction direction, const FileSnapshot& current) {
    endMerge();
    m_adding.reset();
    std::optional<FileSnapshot> target;
    changeSteps(
        [&] { target = direction == Direction::undo ? m_steps.undo(current) : m_steps.redo(current); });
    return target;
}

void EditHistory::giveBack(Direction direction, const FileSnapshot& taken) {
    changeSteps([&] {
        if (direction == Direction::undo)
            m_steps.redo(taken);
        else
            m_steps.undo(taken);
    });
}

void EditHistory::beginAdding() {
    m_adding = Adding{m_recorded, {}};
}

void EditHistory::added(const QList<AudioFile>& files) {
    // Steps recorded later hold these files already.
    if (m_adding && m_recorded > m_adding->importStep)
        m_adding->added.append({m_recorded, files});
}

void EditHistory::endAdding(const QString& description) {
    if (!m_adding)
        return;
    const Adding adding = *std::exchange(m_adding, std::nullopt);
    // The step with serial s lacks what was added while s was the newest, or later.
    QList<QList<AudioFile>> additions;
    for (qint64 serial = m_recorded; serial > adding.importStep; --serial) {
        QList<AudioFile> files;
        for (const auto& [newest, added] : adding.added) {
            if (newest >= serial)
                files += added;
        }
        additions.append(files);
    }
    changeSteps([&] {
        m_steps.addToNewest(additions);
        m_steps.describe(m_recorded - adding.importStep, description);
    });
}
