#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ImportJob.h"

#include "Quire/ViewModels/ThreadCheck.h"

#include <QThread>
#include <algorithm>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

DocumentViewModel::DocumentViewModel(QObject* parent)
    : QObject(parent)
    , m_editState(new EditableTagSet(this))
    , m_tagReader(std::make_shared<TagLibTagReader>())
    , m_tagWriter(std::make_shared<TagLibWriter>())
    , m_pictures(std::make_shared<PictureStore>(m_tagReader)) {
    m_readPool.setMaxThreadCount(maxConcurrentReads);
}

// A large import need not be read to its end: its walk stops, and reads not yet started are dropped.
// The pool then waits for the reads still in flight, whose results are dropped with the import job.
DocumentViewModel::~DocumentViewModel() {
    m_closing = true;
    qDeleteAll(findChildren<ImportJob*>(Qt::FindDirectChildrenOnly));
}

template <typename T, typename Signal>
static bool assign(T& member, const T& value, DocumentViewModel* document, Signal signal) {
    if (member == value)
        return false;
    member = value;
    emit(document->*signal)();
    return true;
}

bool DocumentViewModel::commit(const QString& description, QList<AudioFile> files, UndoRecord record,
                               std::optional<FieldKey> mergeField) {
    ASSERT_GUI_THREAD();
    // The files' state when moves end replaces the list: a change made meanwhile would be lost.
    if (m_isMovingFiles && record != UndoRecord::none)
        return false;
    if (record != UndoRecord::none)
        markEdited(files);
    files = sorted(std::move(files));
    m_filesInOrder = true;
    const DocumentChange change = DocumentChange::between(m_files, files);
    // An action that changes nothing leaves no step to undo.
    if (change.isEmpty())
        return false;
    if (record == UndoRecord::step)
        m_history.record(description, snapshot());
    else if (record == UndoRecord::merge)
        m_history.recordEdit(description, snapshot(), *mergeField, m_selectedFiles);
    publish(std::move(files), change);
    return true;
}

void DocumentViewModel::markEdited(QList<AudioFile>& files) const {
    // Most changes keep every file where it stands: the old record is looked up by position, and by id
    // only for files that moved.
    QHash<QUuid, const AudioFile*> byId;
    const auto oldRecord = [&](qsizetype i, const QUuid& id) -> const AudioFile* {
        if (i < m_files.size() && m_files[i].id() == id)
            return &m_files[i];
        if (byId.isEmpty()) {
            byId.reserve(m_files.size());
            for (const AudioFile& file : m_files)
                byId.insert(file.id(), &file);
        }
        return byId.value(id);
    };
    for (qsizetype i = 0; i < files.size(); ++i) {
        // Read through a const reference: a record that stays as it was is not copied.
        const AudioFile& now = std::as_const(files)[i];
        if (i < m_files.size() && now.sharesStorageWith(m_files[i]))
            continue;
        const AudioFile* old = oldRecord(i, now.id());
        if (!old || now.sharesStorageWith(*old))
            continue;
        AudioFile& file = files[i];
        if (file.tags() == old->tags() && file.artwork() == old->artwork()) {
            // Moved on disk, or handed back as it was: the mark stays what it was.
            if (file.isModified() != old->isModified())
                file.setModified(old->isModified());
        } else if (m_savedFiles.contains(file.id())) {
            markAgainstDisk(file);
        } else {
            file.setModified(true);
        }
    }
}

void DocumentViewModel::publish(QList<AudioFile> files, const DocumentChange& change) {
    const QList<AudioFile> previous = std::exchange(m_files, std::move(files));
    const bool filesStay = change.added.isEmpty() && change.removed.isEmpty() && !change.reordered &&
                           previous.size() == m_files.size();
    DerivedFacts kept;
    if (filesStay) {
        kept.selectedPositions = std::move(m_derived.selectedPositions);
        // The counts follow the few records that changed: a one-file step then reads no other record.
        if (change.changed.size() <= m_files.size() / 8)
            keepCounts(previous, kept);
    }
    m_derived = std::move(kept);
    if (!change.removed.isEmpty())
        m_searchTexts->forget(change.removed);
    if (!change.added.isEmpty())
        m_searchTexts->listChanged(change.added);
    if (!change.changed.isEmpty())
        m_searchTexts->listChanged(change.changed);
    if (isFiltering()) {
        m_shownFiles.subtract(change.removed);
        for (const AudioFile& file : std::as_const(m_files)) {
            const QUuid id = file.id();
            if ((change.added.contains(id) || change.changed.contains(id)) && !m_shownFiles.contains(id) &&
                filterMatches(file))
                m_shownFiles.insert(id);
        }
    }
    if (!change.renamed.isEmpty())
        followMovedStamps(change.renamed);
    // Whatever changed the tags of a selected file (an edit, a batch operation, a paste, an undo), the edit
    // state is refilled so that the inspector and the command line show the files as they are.
    const auto selects = [this](const QSet<QUuid>& ids) {
        return std::any_of(ids.begin(), ids.end(),
                           [this](const QUuid& id) { return m_selectedFiles.contains(id); });
    };
    const bool tagsChanged = !change.fields.isEmpty() || !change.customItems.isEmpty();
    if ((tagsChanged && selects(change.changed)) || selects(change.added) || selects(change.removed))
        refillEditState();
    emit changed(change);
    emit filesChanged();
}

void DocumentViewModel::keepCounts(const QList<AudioFile>& previous, DerivedFacts& kept) const {
    if (!m_derived.modified && !m_derived.withArtwork)
        return;
    qsizetype modified = 0, withArtwork = 0;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const AudioFile& now = m_files.at(i);
        const AudioFile& before = previous.at(i);
        if (now.sharesStorageWith(before))
            continue;
        modified += qsizetype(now.isModified()) - qsizetype(before.isModified());
        withArtwork += qsizetype(!now.artwork().isEmpty()) - qsizetype(!before.artwork().isEmpty());
    }
    if (m_derived.modified)
        kept.modified = *m_derived.modified + modified;
    // Under a filter, the files shown may change too.
    if (m_derived.withArtwork && !isFiltering())
        kept.withArtwork = *m_derived.withArtwork + withArtwork;
}

void DocumentViewModel::followMovedStamps(const QSet<QUuid>& moved) {
    for (const AudioFile& file : std::as_const(m_files)) {
        const auto stamp = m_diskStamps.find(file.id());
        if (!moved.contains(file.id()) || stamp == m_diskStamps.end())
            continue;
        const std::optional<Platform::FileStamp> now = Platform::fileStamp(file.url());
        if (now && stamp->isRenamedAs(*now))
            *stamp = *now;
        else
            m_diskStamps.erase(stamp);
    }
}

std::optional<DocumentViewModel::DiskState> DocumentViewModel::diskState(const QUuid& id) const {
    const auto saved = m_savedFiles.constFind(id);
    if (saved == m_savedFiles.constEnd())
        return std::nullopt;
    const auto stamp = m_diskStamps.constFind(id);
    return DiskState{*saved, stamp == m_diskStamps.constEnd() ? std::nullopt : std::optional(*stamp)};
}

bool DocumentViewModel::commitSelected(const QString& description,
                                       const std::function<void(AudioFile&)>& change) {
    QList<AudioFile> files = m_files;
    for (AudioFile& file : files) {
        if (m_selectedFiles.contains(file.id()))
            change(file);
    }
    return commit(description, std::move(files));
}

void DocumentViewModel::setSelectedFiles(const QSet<QUuid>& ids) {
    ASSERT_GUI_THREAD();
    QSet<QUuid> shown = ids;
    if (isFiltering())
        shown.intersect(m_shownFiles);
    if (shown == m_selectedFiles)
        return;
    m_selectedFiles = shown;
    m_derived.selected.reset();
    m_derived.selectedPositions.reset();
    emit selectedFilesChanged();
    m_history.endMerge();
    EditableTagSet* previous = m_editState;
    m_editState = new EditableTagSet(this);
    refillEditState();
    emit editStateChanged();
    if (previous)
        previous->deleteLater();
}

void DocumentViewModel::selectAll() {
    if (isFiltering()) {
        setSelectedFiles(m_shownFiles);
        return;
    }
    QSet<QUuid> ids;
    ids.reserve(m_files.size());
    for (const AudioFile& file : std::as_const(m_files))
        ids.insert(file.id());
    setSelectedFiles(ids);
}

void DocumentViewModel::setFilterText(const QString& text) {
    ASSERT_GUI_THREAD();
    if (text == m_filter.text())
        return;
    const bool wasFiltering = isFiltering();
    const FileFilter wider = std::exchange(m_filter, FileFilter(text));
    m_derived.withArtwork.reset();
    const bool typedOn = wasFiltering && isFiltering() && m_filter.narrows(wider);
    // Typing on, only the files shown can still match.
    QList<AudioFile> candidates;
    if (typedOn) {
        candidates.reserve(m_shownFiles.size());
        for (const AudioFile& file : std::as_const(m_files)) {
            if (m_shownFiles.contains(file.id()))
                candidates.append(file);
        }
    } else if (isFiltering()) {
        candidates = m_files;
    }
    const std::vector<char> matched = filterMatchesOf(candidates);
    if (!typedOn)
        m_shownFiles.clear();
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (typedOn && !matched[i])
            m_shownFiles.remove(candidates.at(i).id());
        else if (!typedOn && matched[i])
            m_shownFiles.insert(candidates.at(i).id());
    }
    setSelectedFiles(m_selectedFiles);
    emit filterChanged();
}

std::vector<char> DocumentViewModel::filterMatchesOf(const QList<AudioFile>& files) const {
    std::vector<char> matched(files.size(), 0);
    constexpr qsizetype manyFiles = 4096;
    if (!m_filter.readsOnlySearchText() || files.size() < manyFiles) {
        for (qsizetype i = 0; i < files.size(); ++i)
            matched[i] = filterMatches(files.at(i));
        return matched;
    }
    // Plain words read only the folded texts, which nothing changes while this thread waits here: the
    // files are matched in parts on threads of their own and this one. A text not folded yet is folded after.
    constexpr char unknown = 2;
    const qsizetype partCount = std::clamp(QThread::idealThreadCount(), 1, 8);
    const qsizetype step = files.size() / partCount + 1;
    const auto matchPart = [&](qsizetype part) {
        for (qsizetype i = part * step; i < std::min((part + 1) * step, files.size()); ++i) {
            const QString* text = m_searchTexts->folded(files.at(i));
            matched[i] = text ? char(m_filter.matches(files.at(i), *text)) : unknown;
        }
    };
    std::vector<std::thread> helpers;
    for (qsizetype part = 1; part < partCount; ++part) {
        try {
            helpers.emplace_back(matchPart, part);
        } catch (const std::system_error&) {
            matchPart(part); // no thread to be had
        }
    }
    matchPart(0);
    for (std::thread& helper : helpers)
        helper.join();
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (matched[i] == unknown)
            matched[i] = filterMatches(files.at(i));
    }
    return matched;
}

bool DocumentViewModel::filterMatches(const AudioFile& file) const {
    if (!m_filter.needsSearchText())
        return m_filter.matches(file, {});
    return m_filter.matches(file, m_searchTexts->of(file));
}

QList<AudioFile> DocumentViewModel::shownFiles() const {
    if (!isFiltering())
        return m_files;
    QList<AudioFile> shown;
    shown.reserve(m_shownFiles.size());
    for (const AudioFile& file : m_files) {
        if (m_shownFiles.contains(file.id()))
            shown.append(file);
    }
    return shown;
}

qsizetype DocumentViewModel::shownCount() const {
    return isFiltering() ? m_shownFiles.size() : m_files.size();
}

void DocumentViewModel::setSortOrder(const QList<SortDescriptor>& order) {
    if (assign(m_sortOrder, order, this, &DocumentViewModel::sortOrderChanged))
        m_filesInOrder = false;
}

void DocumentViewModel::setLoading(bool loading) {
    assign(m_isLoading, loading, this, &DocumentViewModel::isLoadingChanged);
}

void DocumentViewModel::setImportProgress(ImportProgress progress) {
    assign(m_importProgress, progress, this, &DocumentViewModel::importProgressChanged);
}

void DocumentViewModel::setSaving(bool saving) {
    assign(m_isSaving, saving, this, &DocumentViewModel::isSavingChanged);
}

void DocumentViewModel::setSaveProgress(SaveProgress progress) {
    assign(m_saveProgress, progress, this, &DocumentViewModel::saveProgressChanged);
}

void DocumentViewModel::setTagReader(std::shared_ptr<const TagReader> reader) {
    m_tagReader = std::move(reader);
    m_pictures = std::make_shared<PictureStore>(m_tagReader);
}

void DocumentViewModel::setTagWriter(std::shared_ptr<const TagWriter> writer) {
    m_tagWriter = std::move(writer);
}

QList<AudioFile> DocumentViewModel::selectedAudioFiles() const {
    if (!m_derived.selected) {
        QList<AudioFile> selected;
        selected.reserve(m_selectedFiles.size());
        if (m_derived.selectedPositions) {
            for (const qsizetype position : std::as_const(*m_derived.selectedPositions))
                selected.append(m_files[position]);
        } else {
            QList<qsizetype> positions;
            positions.reserve(m_selectedFiles.size());
            for (qsizetype i = 0; i < m_files.size(); ++i) {
                if (m_selectedFiles.contains(m_files[i].id())) {
                    selected.append(m_files[i]);
                    positions.append(i);
                }
            }
            m_derived.selectedPositions = std::move(positions);
        }
        m_derived.selected = std::move(selected);
    }
    return *m_derived.selected;
}

qsizetype DocumentViewModel::modifiedCount() const {
    if (!m_derived.modified)
        m_derived.modified = std::count_if(m_files.begin(), m_files.end(),
                                           [](const AudioFile& file) { return file.isModified(); });
    return *m_derived.modified;
}

std::optional<AudioProperties> DocumentViewModel::firstSelectedProperties() const {
    const QList<AudioFile> selected = selectedAudioFiles();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.first().properties();
}

qsizetype DocumentViewModel::filesWithArtworkCount() const {
    if (!m_derived.withArtwork)
        m_derived.withArtwork = std::count_if(m_files.begin(), m_files.end(), [this](const AudioFile& file) {
            return !file.artwork().isEmpty() && (!isFiltering() || m_shownFiles.contains(file.id()));
        });
    return *m_derived.withArtwork;
}

qsizetype DocumentViewModel::indexOfFile(const QUuid& id) const {
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (m_files[i].id() == id)
            return i;
    }
    return -1;
}

void DocumentViewModel::refillEditState() {
    ++m_editStateFills;
    const QList<AudioFile> selected = selectedAudioFiles();
    QList<const TagSet*> sets; // where they stand: a large selection's are not copied
    sets.reserve(selected.size());
    for (const AudioFile& file : selected)
        sets.append(&file.tags());
    m_editState->syncFromBatch(sets);
}

bool DocumentViewModel::sortsBefore(const AudioFile& a, const AudioFile& b) const {
    for (const SortDescriptor& descriptor : m_sortOrder) {
        if (const int order = descriptor.compare(a, b))
            return order < 0;
    }
    // Files equal under every key go by their paths, so that the order does
    // not depend on which read finished first (a script numbering or
    // renaming in list order gets the same result every time).
    return a.path() < b.path();
}

QList<AudioFile> DocumentViewModel::sorted(QList<AudioFile> files) const {
    const auto before = [this](const AudioFile& a, const AudioFile& b) { return sortsBefore(a, b); };
    if (m_filesInOrder && files.size() == m_files.size()) {
        // Most edits change records in place and leave the order as it is:
        // only a record whose keys changed can stand out of order, and only
        // against its neighbours.
        const auto sameKeys = [this](const AudioFile& a, const AudioFile& b) {
            return a.path() == b.path() && std::all_of(m_sortOrder.cbegin(), m_sortOrder.cend(),
                                                       [&](const SortDescriptor& descriptor) {
                                                           return descriptor.compare(a, b) == 0;
                                                       });
        };
        bool inOrder = true;
        for (qsizetype i = 0; inOrder && i < files.size(); ++i) {
            const AudioFile& file = files.at(i);
            if (file.sharesStorageWith(m_files[i]))
                continue;
            if (file.id() != m_files[i].id())
                inOrder = false;
            else if (!sameKeys(file, m_files[i]))
                inOrder = (i == 0 || !before(file, files.at(i - 1))) &&
                          (i + 1 == files.size() || !before(files.at(i + 1), file));
        }
        if (inOrder)
            return files;
    }
    // Most other changes leave the order as it is too; finding that out costs
    // one comparison a file.
    if (std::is_sorted(files.cbegin(), files.cend(), before))
        return files;
    return sortedByKeys(files);
}

QList<AudioFile> DocumentViewModel::sortedByKeys(const QList<AudioFile>& files) const {
    // The first key made once a file (the texts' collation keys, which compare as bytes, or the numbers)
    // and the paths at hand: a sort of 100,000 files compares each many times, and reading the records
    // for every comparison cost more than the comparisons.
    const SortDescriptor* first = m_sortOrder.isEmpty() ? nullptr : &m_sortOrder.first();
    const bool byText = first && first->ordersByText();
    std::vector<QCollatorSortKey> texts;
    std::vector<std::optional<SortDescriptor::Numbers>> numbers;
    std::vector<QStringView> paths;
    texts.reserve(byText ? files.size() : 0);
    numbers.reserve(byText ? 0 : files.size());
    paths.reserve(files.size());
    for (const AudioFile& file : std::as_const(files)) {
        if (byText)
            texts.push_back(first->collationKey(file));
        else if (first)
            numbers.push_back(first->numbers(file));
        paths.push_back(file.path());
    }
    const auto byFirst = [&](qsizetype i, qsizetype j) {
        const AudioFile& a = files.at(i);
        const AudioFile& b = files.at(j);
        if (byText) {
            if (const int order = texts[i].compare(texts[j]))
                return first->ascending ? order : -order;
            return first->compareEqualTexts(a, b);
        }
        if (numbers[i] && numbers[j]) {
            const auto order = *numbers[i] <=> *numbers[j];
            return order < 0 ? (first->ascending ? -1 : 1) : order > 0 ? (first->ascending ? 1 : -1) : 0;
        }
        return first->compare(a, b);
    };
    std::vector<qsizetype> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype i, qsizetype j) {
        if (first) {
            if (const int byKey = byFirst(i, j))
                return byKey < 0;
        }
        for (qsizetype k = 1; k < m_sortOrder.size(); ++k) {
            if (const int byNext = m_sortOrder[k].compare(files.at(i), files.at(j)))
                return byNext < 0;
        }
        return paths[i] < paths[j];
    });
    QList<AudioFile> inOrder;
    inOrder.reserve(files.size());
    for (const qsizetype i : order)
        inOrder.append(files.at(i));
    return inOrder;
}

void DocumentViewModel::sortFiles() {
    ASSERT_GUI_THREAD();
    commit({}, m_files, UndoRecord::none);
}

void DocumentViewModel::removeSelectedFromList() {
    ASSERT_GUI_THREAD();
    if (m_isSaving || m_selectedFiles.isEmpty())
        return;
    const qsizetype count = m_selectedFiles.size();
    QList<AudioFile> kept;
    for (const AudioFile& file : std::as_const(m_files)) {
        if (!m_selectedFiles.contains(file.id()))
            kept.append(file);
    }
    commit(tr("Remove %n files from list", nullptr, int(count)), kept);
    setSelectedFiles({});
}
