#pragma once

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ArtworkOperations.h"
#include "Quire/ViewModels/DocumentChange.h"
#include "Quire/ViewModels/DocumentTypes.h"
#include "Quire/ViewModels/EditHistory.h"
#include "Quire/ViewModels/EditableTagSet.h"
#include "Quire/ViewModels/FileFilter.h"
#include "Quire/ViewModels/Lookup/ReleaseLookup.h"
#include "Quire/ViewModels/NoticeQueue.h"
#include "Quire/ViewModels/SearchTexts.h"
#include "Quire/ViewModels/TagClipboardModel.h"
#include "Quire/ViewModels/TagOperations.h"
#include "Quire/ViewModels/WorkQueue.h"
#include "QuireCore/AudioFile.h"
#include "QuireCore/FileMover.h"
#include "QuireCore/PictureStore.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagReader.h"
#include "QuireCore/TagWriter.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The one document of the main window: the loaded files, the selection, the
// merged edit state, import, save and the moves of files on disk. Every view
// observes it, and every user action (and every command-line command) ends in
// one of its operations or those of its collaborators:
// - history(): the undo and redo steps (EditHistory);
// - notices(): what the user should hear of (NoticeQueue);
// - work(): the background work on many files, with its progress (WorkQueue);
// - tagClipboard(): copy and paste of whole tag sets (TagClipboardModel);
// - tagOperations() and artworkOperations(): the batch operations on tags and
//   pictures (TagOperations, ArtworkOperations);
// - releaseLookup(): online lookup of releases and covers (ReleaseLookup).
//
// One road for every change to the files: each operation works out the new
// records and hands them to commit(), which records exactly one undo step for
// the user's action, puts the records in place in sort order and emits
// `changed` with what changed (files added, removed, reordered, changed, and
// which fields). Typed values come in through editField(), which checks them
// with the one parser of typed input (parseFieldInput) before anything changes.
//
// Thread discipline: all state is read and written on the thread that owns the
// document (the GUI thread), and every operation runs there. Only the reader's
// and writer's calls, the artwork work and the moves of files (FileMover) run
// in the background, and their results come back as queued calls.
//
// Moves of files on disk for an undo, a redo or a rename from a pattern run
// on the work queue (isMovingFiles, with their progress as the queue's); the
// document changes only when they are done. Meanwhile it refuses further
// undos, redos, renames and changes to the files (they return false, failed
// or change nothing), and holds saves and imports until the moves are done.
// Moves do not start while other background work runs: they are refused then.
//
// The document's own operations are implemented in one source file per
// concern: DocumentViewModel.cpp (state, the road, selection, sorting,
// removal), DocumentImport.cpp, DocumentEditing.cpp, DocumentUndo.cpp,
// DocumentSaving.cpp and DocumentRenaming.cpp.
struct WriteRequest;
class ReadCache;
class ImportJob;

class DocumentViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<AudioFile> files READ files NOTIFY filesChanged)
    Q_PROPERTY(
        QSet<QUuid> selectedFiles READ selectedFiles WRITE setSelectedFiles NOTIFY selectedFilesChanged)
    Q_PROPERTY(QList<SortDescriptor> sortOrder READ sortOrder WRITE setSortOrder NOTIFY sortOrderChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(ImportProgress importProgress READ importProgress NOTIFY importProgressChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(SaveProgress saveProgress READ saveProgress NOTIFY saveProgressChanged)
    Q_PROPERTY(EditableTagSet* editState READ editState NOTIFY editStateChanged)
    Q_PROPERTY(bool isMovingFiles READ isMovingFiles NOTIFY isMovingFilesChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterChanged)

public:
    using Completion = std::function<void()>;

    static constexpr int maxConcurrentReads = 8;

    explicit DocumentViewModel(QObject* parent = nullptr);
    ~DocumentViewModel() override;

    // --- Published state ---
    const QList<AudioFile>& files() const { return m_files; }
    const QSet<QUuid>& selectedFiles() const { return m_selectedFiles; }
    // Runs the selection hook: a different selection rebuilds the edit state
    // and ends any running merge of edits. Hidden files are left out.
    void setSelectedFiles(const QSet<QUuid>& ids);
    // Selects every shown file.
    void selectAll();
    const QList<SortDescriptor>& sortOrder() const { return m_sortOrder; }
    void setSortOrder(const QList<SortDescriptor>& order);
    bool isLoading() const { return m_isLoading; }
    ImportProgress importProgress() const { return m_importProgress; }
    bool isSaving() const { return m_isSaving; }
    SaveProgress saveProgress() const { return m_saveProgress; }
    EditableTagSet* editState() const { return m_editState; }
    // Whether moves of files for an undo, a redo or a rename run.
    bool isMovingFiles() const { return m_isMovingFiles; }

    // --- The filter of the list ---
    // The list shows the files the filter matches (FileFilter), and whatever
    // acts on "the files" acts on those: the selection never holds a hidden
    // file, so the batch operations, the tag clipboard and removal reach shown
    // files only, and an operation on all files (find and replace in every
    // file, batch artwork) takes the shown ones. Saving all changes saves
    // hidden files too. A new text shows exactly the files it matches and
    // drops the others from the selection. Until the text changes again, files
    // that come to match (imported or changed) are shown as well, but a shown
    // file that stops matching after an edit stays shown, so that rows do not
    // vanish while the user works on them.
    const QString& filterText() const { return m_filter.text(); }
    void setFilterText(const QString& text);
    bool isFiltering() const { return !m_filter.isEmpty(); }
    // In list order; every file while nothing is filtered.
    QList<AudioFile> shownFiles() const;
    qsizetype shownCount() const;

    // --- Collaborators ---
    EditHistory& history() { return m_history; }
    const EditHistory& history() const { return m_history; }
    NoticeQueue& notices() { return m_notices; }
    const NoticeQueue& notices() const { return m_notices; }
    const WorkQueue& work() const { return m_work; }
    WorkQueue& work() { return m_work; }
    TagClipboardModel& tagClipboard() { return m_tagClipboard; }
    const TagClipboardModel& tagClipboard() const { return m_tagClipboard; }
    TagOperations& tagOperations() { return m_tagOperations; }
    const TagOperations& tagOperations() const { return m_tagOperations; }
    ArtworkOperations& artworkOperations() { return m_artworkOperations; }
    ReleaseLookup& releaseLookup() { return m_releaseLookup; }

    // --- Computed views ---
    // The selected files in list order (ids not in the list are ignored).
    QList<AudioFile> selectedAudioFiles() const;
    qsizetype modifiedCount() const;
    std::optional<AudioProperties> firstSelectedProperties() const;
    // Of the shown files.
    qsizetype filesWithArtworkCount() const;

    // --- Services (tests inject readers and writers that fail or block) ---
    void setTagReader(std::shared_ptr<const TagReader> reader);
    void setTagWriter(std::shared_ptr<const TagWriter> writer);
    // Where the bytes of `file`'s pictures are read when needed (its record
    // only describes the pictures it read from disk). Safe to use on any thread.
    PictureSource pictureSource(const AudioFile& file) const { return {m_pictures, file.url()}; }

    // --- The read cache ---
    // Where imports look for the records of files that have not changed since
    // they were last read, and keep what they read (ReadCache::defaultPath()
    // in the editor and the command line); empty, the default, reads every
    // file. A cache that could not be used and was made anew is a notice.
    const QString& readCachePath() const { return m_readCachePath; }
    void setReadCachePath(const QString& path);
    // Forgets every record of the cache: the files are read again.
    void clearReadCache();

    // --- The one road of every change to the files ---
    // How commit() records its undo step.
    enum class UndoRecord {
        step,  // the user's action: one step
        merge, // joins the step before when it was a quick edit of the same field of the same selection
        none,  // not the user's action (a save's bookkeeping, undo and redo themselves)
    };
    // Records the undo step, puts `files` in place in sort order, refills the
    // edit state when selected files changed, and emits `changed`. For the
    // user's actions (a step or a merge) the modified marks follow the
    // content: a file whose tags and pictures are left as they were keeps its
    // mark, whatever the operation set; one whose tags or pictures changed is
    // marked when they differ from the file on disk. False, with no step, when
    // nothing differs, and while files move (their state when the moves end
    // replaces the list).
    bool commit(const QString& description, QList<AudioFile> files, UndoRecord record = UndoRecord::step,
                std::optional<FieldKey> mergeField = std::nullopt);
    // Applies `change` to a copy of every selected file and commits the result.
    bool commitSelected(const QString& description, const std::function<void(AudioFile&)>& change);

    // --- Import and the list ---
    // Adds the supported audio files at the locations (files or folders) in the
    // background; locations given while an import runs are imported after it.
    // isLoading is set at once, before the folders are walked.
    void importFiles(const QList<QUrl>& locations);
    // Reorders the files by sortOrder, files equal under it by their paths; no
    // notification when unchanged.
    void sortFiles();
    // Drops the selected files from the document (not from disk); undoable.
    void removeSelectedFromList();

    // --- Editing ---
    // Text typed for one field, for every selected file or for one file (a
    // cell of the file list). The text is checked first (parseFieldInput):
    // refused text changes nothing, and the error names the field and the
    // forms it takes. Empty text clears the field; "3/12" in a track or disc
    // number sets the number and the total. One undo step; quick successive
    // edits of one field of the selection merge into one. The value says
    // whether any file changed.
    Result<bool, QString> editField(const FieldKey& field, const QString& text,
                                    std::optional<QUuid> file = std::nullopt);

    // --- Undo and redo ---
    // Called when a step is applied: false when the files could not be moved
    // where the step has them (a notice says why, the list shows where they
    // are, and the step stays where it was).
    using StepCompletion = std::function<void(bool applied)>;
    // Both say whether they took a step or started its moves: false when there
    // was none, or while a save, an import or moves of files run, or (for a
    // step that moves files) while other background work runs. A step that
    // moves no file is applied at once; one that does is applied when its
    // moves, run in the background, are done. `completion` follows either way.
    bool undo(StepCompletion completion = {});
    bool redo(StepCompletion completion = {});
    // The current state: the files and the selection.
    FileSnapshot snapshot() const;
    // Applies a snapshot as undo does, moving renamed files on disk; false
    // (and no completion) when refused because files move or other background work runs.
    bool restore(const FileSnapshot& target, StepCompletion completion = {});

    // --- Saving ---
    // The version of the ID3v2 tags saves create (3 or 4); tags files have keep theirs.
    int newId3v2Version() const { return m_newId3v2Version; }
    void setNewId3v2Version(int version) { m_newId3v2Version = version == 3 ? 3 : 4; }
    void saveAll();
    // Saves the modified files, then calls `completion`; during a running save,
    // waits for it and then saves whatever is modified by then.
    void saveAll(Completion completion);
    void save(const QList<AudioFile>& files, Completion completion = {});

    // --- The files on disk ---
    // A file's record as last read from or written to disk, with the disk
    // file's stamp then (none when it could not be taken): what an unsaved
    // change is measured against.
    struct DiskState {
        AudioFile onDisk;
        std::optional<Platform::FileStamp> stamp;
    };
    std::optional<DiskState> diskState(const QUuid& id) const;

    // --- Renaming on disk ---
    // One file, at once (a single move, on this thread). A refusal (a name that
    // is empty, taken or holds a character file names cannot, a failed move, a
    // save or moves of files running) says why, for the user; nothing moves then.
    Result<FileRenameResult, QString> renameFile(const QUuid& id, const QString& typedName);

    // From a pattern: moves the selected files on disk in the background,
    // each on its own (a taken name leaves that file where it is), records one
    // step when the moves are done and then hands over what happened to each
    // file. False, with no completion, when there is nothing selected or while
    // a save, other background work or moves of files run.
    using PatternRenameCompletion = std::function<void(const PatternRenameReport& report)>;
    bool renameFromPattern(const QString& pattern, PatternRenameCompletion completion = {});

signals:
    void filesChanged();
    void selectedFilesChanged();
    void sortOrderChanged();
    void isLoadingChanged();
    void importProgressChanged();
    void isSavingChanged();
    void saveProgressChanged();
    // What the last change of the files did; filesChanged follows it.
    void changed(const DocumentChange& change);
    // A save of every modified file starts: views commit what is typed but not yet committed.
    void aboutToSave();
    void editStateChanged();
    void isMovingFilesChanged();
    // The filter's text changed, and with it the shown files (and maybe the selection, announced before).
    void filterChanged();

private:
    // Puts `files` in place and tells the views; commit()'s last step, and the import's for the files it
    // reads.
    void publish(QList<AudioFile> files, const DocumentChange& change);
    // The order of the list: by sortOrder, then by path.
    bool sortsBefore(const AudioFile& a, const AudioFile& b) const;
    // `files` in sort order; quick when they are the list with records changed in place.
    QList<AudioFile> sorted(QList<AudioFile> files) const;
    // `files` in sort order, whatever order they stand in.
    QList<AudioFile> sortedByKeys(const QList<AudioFile>& files) const;
    // The list with `read` put in place in sort order (an import's hand-over).
    QList<AudioFile> mergedInOrder(QList<AudioFile> read) const;
    // Marks `file` modified when its tags or pictures differ from those on disk, and takes the disk's save
    // time.
    void markAgainstDisk(AudioFile& file) const;
    // Whether the file's mark is already what markAgainstDisk() would make it.
    bool markedAgainstDisk(const AudioFile& file) const;
    // commit()'s marks for the user's actions (see there).
    void markEdited(QList<AudioFile>& files) const;
    bool filterMatches(const AudioFile& file) const;
    // Whether the filter matches each of `files`, in their order.
    std::vector<char> filterMatchesOf(const QList<AudioFile>& files) const;
    void setLoading(bool loading);
    void setImportProgress(ImportProgress progress);
    void setSaving(bool saving);
    void setSaveProgress(SaveProgress progress);

    // Rebuilds the current edit state from the selection.
    void refillEditState();
    qsizetype indexOfFile(const QUuid& id) const;
    // Calls `visit` with each record of `files` that the list holds in another
    // record, and that one (records the list shares are left out).
    void forEachCurrentRecord(const QList<AudioFile>& files,
                              const std::function<void(const AudioFile&, const AudioFile&)>& visit) const;
    bool applyUndoStep(EditHistory::Direction direction, StepCompletion completion);
    // Puts `target` in place with the files where `outcome` left them; false
    // (with a notice) when they are not where the target has them.
    bool finishRestore(const FileSnapshot& target, const QList<FileMove>& moves,
                       const FileMoveOutcome& outcome);
    // Runs `moves` on the work queue through a FileMover holding the folders
    // made so far; `finish` runs here with the outcome when they are done,
    // then whatever waited for the moves.
    void startMoves(QList<FileMove> moves, bool together, std::function<void(const FileMoveOutcome&)> finish);
    void setMovingFiles(bool moving);

    // Import: starts reading the files found off the GUI thread.
    // Starts reading files as the import finds them; the job goes when it is done.
    ImportJob* startImportJob();

    // Saving
    // Marks files of `handedToSave` as saved: `written` holds their positions in it and each one's
    // stamp, taken after its write.
    void takeSavedFiles(const QList<AudioFile>& handedToSave,
                        const QList<std::pair<qsizetype, std::optional<Platform::FileStamp>>>& written);
    void finishSave(const QStringList& failures, const QStringList& failedPaths,
                    const Completion& completion);
    // Files moved on disk keep their stamps when nothing but the move changed them.
    void followMovedStamps(const QSet<QUuid>& moved);

    QList<AudioFile> m_files;
    QSet<QUuid> m_selectedFiles;
    FileFilter m_filter;
    QSet<QUuid> m_shownFiles; // while filtering
    // Each file's FileFilter::searchText(), with the record it was made of: every keystroke in the
    // filter looks at every file.
    SearchTexts* m_searchTexts =
        new SearchTexts([this]() -> const QList<AudioFile>& { return m_files; }, this);
    // Facts of the list, the selection and the filter, found on first use after they change: several
    // views ask after every change, and the status bar on every file a save finishes.
    struct DerivedFacts {
        std::optional<qsizetype> modified;
        std::optional<qsizetype> withArtwork;
        std::optional<QList<AudioFile>> selected;
        // Where the selected files stand in the list: kept while changes leave every file where it stands.
        std::optional<QList<qsizetype>> selectedPositions;
    };
    mutable DerivedFacts m_derived;
    // Carries the counts over a change that left every file where it stands, from the records that changed.
    void keepCounts(const QList<AudioFile>& previous, DerivedFacts& kept) const;
    QList<SortDescriptor> m_sortOrder{SortDescriptor{SortKey::filename, true}};
    bool m_filesInOrder = true; // whether m_files stand in m_sortOrder
    bool m_isLoading = false;
    ImportProgress m_importProgress;
    bool m_isSaving = false;
    SaveProgress m_saveProgress;
    QPointer<EditableTagSet> m_editState;
    quint64 m_editStateFills = 0; // how often refillEditState() ran
    EditHistory m_history;
    NoticeQueue m_notices;
    TagClipboardModel m_tagClipboard{*this};
    TagOperations m_tagOperations{*this};
    ArtworkOperations m_artworkOperations{*this};
    ReleaseLookup m_releaseLookup{*this};
    std::shared_ptr<const TagReader> m_tagReader;
    std::shared_ptr<const TagWriter> m_tagWriter;
    std::shared_ptr<const PictureStore> m_pictures;
    // The last state of each file known to be on disk.
    QHash<QUuid, AudioFile> m_savedFiles;
    QHash<QUuid, Platform::FileStamp> m_diskStamps; // of the files on disk when last read or written
    QSet<QString> m_madeFolders;                    // paths of folders made for renames
    bool m_isMovingFiles = false;
    int m_newId3v2Version = 4;
    QList<Completion> m_afterMoves; // saves and imports held while files move
    QList<Completion> m_pendingSaveCompletions;
    QList<QUrl> m_queuedImports;
    QString m_readCachePath;
    std::shared_ptr<ReadCache> m_readCache; // after the reads, which use it
    // Before the pool, which waits for the walks reading it when the document goes.
    std::atomic<bool> m_closing{false}; // the walks of imports end early
    QThreadPool m_readPool;
    // Last, so that it is the first to go: it waits for its running work, whose results are then dropped.
    WorkQueue m_work;
};
