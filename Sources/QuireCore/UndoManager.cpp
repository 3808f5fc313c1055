#include "QuireCore/UndoManager.h"

QJsonObject FileSnapshot::toJson() const {
    QJsonArray fileList;
    for (const AudioFile& file : files)
        fileList.append(file.toJson());
    QJsonArray selection;
    for (const QUuid& id : selectedFiles)
        selection.append(uuidText(id));
    return {{QStringLiteral("files"), fileList}, {QStringLiteral("selectedFiles"), selection}};
}

Decoded<FileSnapshot> FileSnapshot::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "FileSnapshot");
    FileSnapshot snapshot;
    snapshot.files = record.requiredList<AudioFile>("files");
    const QJsonValue selection = record.requiredValue("selectedFiles");
    if (!record.failed() && !selection.isArray())
        record.fail("selectedFiles", QStringLiteral("expected a list"));
    for (const QJsonValue& element : selection.toArray()) {
        const std::optional<QUuid> id = uuidFromText(element.toString());
        if (!id) {
            record.fail("selectedFiles", QStringLiteral("expected UUIDs"));
            break;
        }
        snapshot.selectedFiles.insert(*id);
    }
    return record.finish(std::move(snapshot));
}

std::optional<QString> UndoStack::undoDescription() const {
    return m_undo.isEmpty() ? std::nullopt : std::optional(m_undo.last().description);
}

std::optional<QString> UndoStack::redoDescription() const {
    return m_redo.isEmpty() ? std::nullopt : std::optional(m_redo.last().description);
}

void UndoStack::push(const QString& description, const FileSnapshot& snapshot) {
    m_undo.append({description, snapshot});
    if (m_undo.size() > m_maxDepth)
        m_undo.removeFirst();
    m_redo.clear();
}

std::optional<FileSnapshot> UndoStack::undo(const FileSnapshot& current) {
    if (m_undo.isEmpty())
        return std::nullopt;
    UndoAction action = m_undo.takeLast();
    m_redo.append({action.description, current});
    return std::move(action.snapshot);
}

std::optional<FileSnapshot> UndoStack::redo(const FileSnapshot& current) {
    if (m_redo.isEmpty())
        return std::nullopt;
    UndoAction action = m_redo.takeLast();
    m_undo.append({action.description, current});
    return std::move(action.snapshot);
}

void UndoStack::clear() {
    m_undo.clear();
    m_redo.clear();
}
