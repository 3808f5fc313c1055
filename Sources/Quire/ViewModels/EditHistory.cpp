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
