#include "QuireCore/UndoManager.h"

#include "QuireCore/TagFieldTable.h"

#include <algorithm>
#include <system_error>

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

namespace {

// Records that share storage are equal without a look at their members.
bool sameRecord(const AudioFile& a, const AudioFile& b) {
    return a.sharesStorageWith(b);
}

// Pictures are compared by identity: equal lists of one origin share their
// records' ids and digests.
bool samePictureRecords(const QList<Artwork>& a, const QList<Artwork>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Artwork& x, const Artwork& y) {
               return x.id == y.id && x.digest == y.digest && x.type == y.type &&
                      x.description == y.description;
           });
}

} // namespace

SnapshotDelta::FilePatch SnapshotDelta::FilePatch::between(const AudioFile& base, const AudioFile& target) {
    FilePatch patch;
    if (base.id() != target.id() || base.format() != target.format() ||
        base.tagContainer() != target.tagContainer() || base.properties() != target.properties()) {
        patch.whole = target;
        return patch;
    }
    forEachField([&](const auto& entry) {
        const auto& value = target.tags().*entry.model;
        if (base.tags().*entry.model != value)
            patch.fields.emplaceBack(entry.field,
                                     FieldValue(std::in_place_type<std::decay_t<decltype(value)>>, value));
    });
    if (base.tags().custom != target.tags().custom)
        patch.custom = target.tags().custom;
    if (base.url() != target.url())
        patch.url = target.url();
    if (base.artwork() != target.artwork())
        patch.artwork = target.artwork();
    if (base.lastSaved() != target.lastSaved())
        patch.lastSaved = target.lastSaved();
    if (base.isModified() != target.isModified())
        patch.modified = target.isModified();
    return patch;
}

void SnapshotDelta::FilePatch::applyTo(AudioFile& file) const {
    if (whole) {
        file = *whole;
        return;
    }
    if (!fields.isEmpty() || custom) {
        TagSet tags = file.tags();
        for (const auto& change : fields) {
            const FieldValue& value =
                change.second; // a plain name: lambdas may not capture bindings everywhere
            std::visit(
                [&](const auto& entry) {
                    tags.*entry.model = std::get<std::decay_t<decltype(tags.*entry.model)>>(value);
                },
                bindingOf(change.first));
        }
        if (custom)
            tags.custom = *custom;
        file.setTags(tags);
    }
    if (url)
        file.setUrl(*url);
    if (artwork)
        file.setArtwork(*artwork);
    if (lastSaved)
        file.setLastSaved(*lastSaved);
    if (modified)
        file.setModified(*modified);
}

bool SnapshotDelta::FilePatch::operator==(const FilePatch& other) const {
    const bool sameArtwork = artwork.has_value() == other.artwork.has_value() &&
                             (!artwork || samePictureRecords(*artwork, *other.artwork));
    const bool sameWhole =
        whole.has_value() == other.whole.has_value() && (!whole || sameRecord(*whole, *other.whole));
    return fields == other.fields && custom == other.custom && url == other.url && sameArtwork &&
           lastSaved == other.lastSaved && modified == other.modified && sameWhole;
}

SnapshotDelta::SnapshotDelta(const FileSnapshot& base, const FileSnapshot& target) {
    const QList<AudioFile>& from = base.files;
    const QList<AudioFile>& to = target.files;
    const bool sameOrder =
        from.size() == to.size() &&
        std::equal(to.begin(), to.end(), from.begin(), [](const AudioFile& a, const AudioFile& b) {
            return sameRecord(a, b) || a.id() == b.id();
        });
    if (!sameOrder) {
        // Going back to an empty list (before the first import) needs no positions.
        QHash<QUuid, qint32> positions;
        positions.reserve(to.isEmpty() ? 0 : from.size());
        for (qint32 i = 0; !to.isEmpty() && i < from.size(); ++i)
            positions.insert(from[i].id(), i);
        QList<qint32> order;
        order.reserve(to.size());
        for (const AudioFile& file : to) {
            const qint32 position = positions.value(file.id(), -1);
            order.append(position);
            if (position < 0)
                m_absent.append(file);
        }
        m_order = std::move(order);
    }
    for (qint32 i = 0; i < to.size(); ++i) {
        const qint32 source = m_order ? (*m_order)[i] : i;
        if (source < 0 || sameRecord(from[source], to[i]))
            continue;
        FilePatch patch = FilePatch::between(from[source], to[i]);
        if (m_patches.isEmpty() || !(m_patches.last() == patch))
            m_patches.append(std::move(patch));
        const auto patchIndex = static_cast<qint32>(m_patches.size() - 1);
        if (!m_runs.isEmpty() && m_runs.last().patch == patchIndex &&
            m_runs.last().first + m_runs.last().count == i)
            ++m_runs.last().count;
        else
            m_runs.append({i, 1, patchIndex});
    }
    if (base.selectedFiles != target.selectedFiles)
        m_selection = target.selectedFiles;
}

FileSnapshot SnapshotDelta::applyTo(const FileSnapshot& base) const {
    FileSnapshot target{base.files, m_selection.value_or(base.selectedFiles)};
    if (m_order) {
        target.files.clear();
        target.files.reserve(m_order->size());
        qsizetype absent = 0;
        for (const qint32 position : *m_order)
            target.files.append(position < 0 ? m_absent[absent++] : base.files[position]);
    }
    for (const Run& run : m_runs) {
        for (qint32 i = run.first; i < run.first + run.count; ++i)
            m_patches[run.patch].applyTo(target.files[i]);
    }
    return target;
}

UndoStack::UndoStack(qsizetype maxDepth)
    : m_maxDepth(maxDepth) {}

void UndoStack::append(History& history, const QString& description, const FileSnapshot& state) {
    if (!history.isEmpty()) {
        Step& newest = history.last();
        // A thread of its own (std::async): its start and its result order its work with this thread's.
        // Both states are let go inside it, so that the records only the older state held are freed there.
        try {
            newest.pendingDelta =
                std::async(std::launch::async, [base = state, target = *newest.state]() mutable {
                    SnapshotDelta delta(base, target);
                    target = {};
                    base = {};
                    return delta;
                }).share();
        } catch (const std::system_error&) {
            newest.fromNext = SnapshotDelta(state, *newest.state); // no thread to be had: here, then
        }
        newest.state.reset();
    }
    history.append({description, state, {}, {}});
}

const SnapshotDelta& UndoStack::deltaOf(Step& step) {
    if (step.pendingDelta.valid()) {
        step.fromNext = step.pendingDelta.get();
        step.pendingDelta = {};
    }
    return step.fromNext;
}

std::optional<FileSnapshot> UndoStack::take(History& from, History& to, const FileSnapshot& current) {
    if (from.isEmpty())
        return std::nullopt;
    Step step = from.takeLast();
    if (!from.isEmpty()) {
        Step& newest = from.last();
        newest.state = deltaOf(newest).applyTo(*step.state);
        newest.fromNext = {};
    }
    append(to, step.description, current);
    return std::move(step.state);
}

QStringList UndoStack::descriptions(const History& history) {
    QStringList list;
    list.reserve(history.size());
    for (const Step& step : history)
        list.append(step.description);
    return list;
}

std::optional<QString> UndoStack::undoDescription() const {
    return m_undo.isEmpty() ? std::nullopt : std::optional(m_undo.last().description);
}

std::optional<QString> UndoStack::redoDescription() const {
    return m_redo.isEmpty() ? std::nullopt : std::optional(m_redo.last().description);
}

QStringList UndoStack::undoDescriptions() const {
    return descriptions(m_undo);
}

QStringList UndoStack::redoDescriptions() const {
    return descriptions(m_redo);
}

void UndoStack::push(const QString& description, const FileSnapshot& snapshot) {
    append(m_undo, description, snapshot);
    if (m_undo.size() > m_maxDepth)
        m_undo.removeFirst();
    m_redo.clear();
}

std::optional<FileSnapshot> UndoStack::undo(const FileSnapshot& current) {
    return take(m_undo, m_redo, current);
}

std::optional<FileSnapshot> UndoStack::redo(const FileSnapshot& current) {
    return take(m_redo, m_undo, current);
}

void UndoStack::clear() {
    m_undo.clear();
    m_redo.clear();
}

void UndoStack::addToNewest(const QList<QList<AudioFile>>& additions) {
    const qsizetype count = std::min(additions.size(), m_undo.size());
    if (count == 0)
        return;
    // The states from the newest step back to the one before the first changed, whose delta is taken anew.
    const qsizetype newest = m_undo.size() - 1;
    QList<FileSnapshot> states{*m_undo.at(newest).state};
    for (qsizetype i = 1; i <= count && newest - i >= 0; ++i)
        states.append(deltaOf(m_undo[newest - i]).applyTo(states.last()));
    for (qsizetype i = 0; i < count; ++i)
        states[i].files += additions.at(i);
    m_undo[newest].state = states.first();
    for (qsizetype i = 1; i < states.size(); ++i)
        m_undo[newest - i].fromNext = SnapshotDelta(states.at(i - 1), states.at(i));
}

void UndoStack::describe(qsizetype fromNewest, const QString& description) {
    if (fromNewest >= 0 && fromNewest < m_undo.size())
        m_undo[m_undo.size() - 1 - fromNewest].description = description;
}
