#include "Quire/ViewModels/DocumentViewModel.h"

#include "Quire/ViewModels/ThreadCheck.h"

#include <algorithm>

DocumentViewModel::DocumentViewModel(QObject* parent)
    : QObject(parent)
    , m_editState(new EditableTagSet(this))
    , m_tagReader(std::make_shared<TagLibTagReader>())
    , m_tagWriter(std::make_shared<TagLibWriter>())
    , m_clock([] { return std::chrono::steady_clock::now(); }) {
    m_readPool.setMaxThreadCount(maxConcurrentReads);
}

// Waits for reads still in flight; their results are dropped with the import job.
DocumentViewModel::~DocumentViewModel() = default;

template <typename T, typename Signal>
static bool assign(T& member, const T& value, DocumentViewModel* document, Signal signal) {
    if (member == value)
        return false;
    member = value;
    emit(document->*signal)();
    return true;
}

// Every change of the files ends here. Whatever changed the tags of a selected file (a cell edit, a batch
// operation, a paste), the edit state is refilled so that the inspector shows the files as they are; only
// the inspector's own edits keep the text as it was typed.
void DocumentViewModel::setFiles(const QList<AudioFile>& files) {
    const QList<AudioFile> before = m_files;
    if (!assign(m_files, files, this, &DocumentViewModel::filesChanged))
        return;
    if (!m_editStateLeads && selectedTagsChangedSince(before))
        refillEditState();
}

bool DocumentViewModel::selectedTagsChangedSince(const QList<AudioFile>& before) const {
    if (m_selectedFiles.isEmpty())
        return false;
    // Most changes keep the order: then records are compared where they stand,
    // and only those that changed are looked up in the selection.
    if (before.size() == m_files.size()) {
        qsizetype i = 0;
        for (; i < m_files.size(); ++i) {
            const AudioFile& now = m_files[i];
            const AudioFile& old = before[i];
            if (now.sharesStorageWith(old))
                continue;
            if (now.id() != old.id())
                break;
            if (now.tags() != old.tags() && m_selectedFiles.contains(now.id()))
                return true;
        }
        if (i == m_files.size())
            return false;
    }
    QHash<QUuid, const AudioFile*> previous;
    for (const AudioFile& file : before) {
        if (m_selectedFiles.contains(file.id()))
            previous.insert(file.id(), &file);
    }
    qsizetype present = 0;
    for (const AudioFile& file : m_files) {
        if (!m_selectedFiles.contains(file.id()))
            continue;
        ++present;
        const AudioFile* old = previous.value(file.id());
        if (!old || (!file.sharesStorageWith(*old) && file.tags() != old->tags()))
            return true;
    }
    return present != previous.size();
}

void DocumentViewModel::setSelectedFiles(const QSet<QUuid>& ids) {
    ASSERT_GUI_THREAD();
    if (!assign(m_selectedFiles, ids, this, &DocumentViewModel::selectedFilesChanged))
        return;
    endEditMerge();
    EditableTagSet* previous = m_editState;
    m_editState = new EditableTagSet(this);
    refillEditState();
    emit editStateChanged();
    if (previous)
        previous->deleteLater();
}

void DocumentViewModel::setSortOrder(const QList<SortDescriptor>& order) {
    assign(m_sortOrder, order, this, &DocumentViewModel::sortOrderChanged);
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

void DocumentViewModel::setWorking(bool working) {
    assign(m_isWorking, working, this, &DocumentViewModel::isWorkingChanged);
}

void DocumentViewModel::setWorkProgress(WorkProgress progress) {
    assign(m_workProgress, progress, this, &DocumentViewModel::workProgressChanged);
}

void DocumentViewModel::setSaveErrorMessage(const std::optional<QString>& message) {
    assign(m_saveErrorMessage, message, this, &DocumentViewModel::saveErrorMessageChanged);
}

void DocumentViewModel::setTagClipboard(const TagClipboard& clipboard) {
    assign(m_tagClipboard, clipboard, this, &DocumentViewModel::tagClipboardChanged);
}

void DocumentViewModel::setTagReader(std::shared_ptr<const TagReader> reader) {
    m_tagReader = std::move(reader);
}

void DocumentViewModel::setTagWriter(std::shared_ptr<const TagWriter> writer) {
    m_tagWriter = std::move(writer);
}

void DocumentViewModel::setClock(Clock clock) {
    m_clock = std::move(clock);
}

QList<AudioFile> DocumentViewModel::selectedAudioFiles() const {
    QList<AudioFile> selected;
    for (const AudioFile& file : m_files) {
        if (m_selectedFiles.contains(file.id()))
            selected.append(file);
    }
    return selected;
}

qsizetype DocumentViewModel::modifiedCount() const {
    return std::count_if(m_files.begin(), m_files.end(),
                         [](const AudioFile& file) { return file.isModified(); });
}

QSet<TagField> DocumentViewModel::batchVaries() const {
    QList<TagSet> sets;
    for (const AudioFile& file : selectedAudioFiles())
        sets.append(file.tags());
    return TagSet::batchVaries(sets);
}

std::optional<AudioProperties> DocumentViewModel::firstSelectedProperties() const {
    for (const AudioFile& file : m_files) {
        if (m_selectedFiles.contains(file.id()))
            return file.properties();
    }
    return std::nullopt;
}

qsizetype DocumentViewModel::filesWithArtworkCount() const {
    return std::count_if(m_files.begin(), m_files.end(),
                         [](const AudioFile& file) { return !file.artwork().isEmpty(); });
}

qsizetype DocumentViewModel::indexOfFile(const QUuid& id) const {
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (m_files[i].id() == id)
            return i;
    }
    return -1;
}

void DocumentViewModel::refillEditState() {
    const QList<AudioFile> selected = selectedAudioFiles();
    QList<TagSet> sets;
    sets.reserve(selected.size());
    for (const AudioFile& file : selected)
        sets.append(file.tags());
    m_editState->syncFromBatch(TagSet::batchMerge(sets), TagSet::batchVaries(sets));
}

void DocumentViewModel::changeSelectedFiles(const std::function<void(AudioFile&)>& change) {
    QList<AudioFile> files = m_files;
    for (AudioFile& file : files) {
        if (m_selectedFiles.contains(file.id()))
            change(file);
    }
    setFiles(files);
}

void DocumentViewModel::sortFiles() {
    ASSERT_GUI_THREAD();
    const auto before = [this](const AudioFile& a, const AudioFile& b) {
        for (const SortDescriptor& descriptor : m_sortOrder) {
            if (const int order = descriptor.compare(a, b))
                return order < 0;
        }
        // Files equal under every key go by their paths, so that the order does
        // not depend on which read finished first (a script numbering or
        // renaming in list order gets the same result every time).
        return a.path() < b.path();
    };
    // Most edits leave the order as it is; finding that out costs one
    // comparison a file.
    if (std::is_sorted(m_files.cbegin(), m_files.cend(), before))
        return;
    QList<AudioFile> files = m_files;
    std::stable_sort(files.begin(), files.end(), before);
    setFiles(files);
}

void DocumentViewModel::removeSelectedFromList() {
    ASSERT_GUI_THREAD();
    if (m_isSaving || m_selectedFiles.isEmpty())
        return;
    const qsizetype count = m_selectedFiles.size();
    recordUndoStep(count == 1 ? tr("Remove 1 file from list") : tr("Remove %1 files from list").arg(count));
    QList<AudioFile> kept;
    for (const AudioFile& file : std::as_const(m_files)) {
        if (!m_selectedFiles.contains(file.id()))
            kept.append(file);
    }
    setFiles(kept);
    setSelectedFiles({});
}
