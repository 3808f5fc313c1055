#pragma once

#include "Quire/ViewModels/DocumentChange.h"
#include "Quire/ViewModels/DocumentTypes.h"
#include "Quire/ViewModels/EditableTagSet.h"
#include "Quire/ViewModels/TextTransform.h"
#include "QuireCore/AudioFile.h"
#include "QuireCore/FileMover.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagReader.h"
#include "QuireCore/TagWriter.h"
#include "QuireCore/UndoManager.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The one document of the main window: the loaded files, the selection, the
// merged edit state, the undo history, import and save progress, the notices
// for the user and the tag clipboard. Every view observes its properties, and
// every user action (and every command-line command) ends in one of its
// operations.
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
// in the background (isMovingFiles, with their progress as workProgress);
// the document changes only when they are done. Meanwhile it refuses further
// undos, redos, renames and changes to the files (they return false, failed
// or change nothing), and holds saves, imports and artwork work until the
// moves are done. Moves do not start while artwork work runs: they are
// refused then.
//
// The operations are implemented in one source file per concern:
// DocumentViewModel.cpp (state, selection, sorting, removal), DocumentImport.cpp,
// DocumentEditing.cpp, DocumentUndo.cpp, DocumentSaving.cpp, DocumentRenaming.cpp,
// DocumentClipboard.cpp, and the batch operations in DocumentPatterns.cpp,
// DocumentTextOperations.cpp and DocumentArtwork.cpp (with the pure helpers of
// PatternEngine, TextTransform and ArtworkProcessing).
struct WriteRequest;

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
    Q_PROPERTY(bool isWorking READ isWorking NOTIFY isWorkingChanged)
    Q_PROPERTY(WorkProgress workProgress READ workProgress NOTIFY workProgressChanged)
    Q_PROPERTY(QList<Notice> notices READ notices NOTIFY noticesChanged)
    Q_PROPERTY(EditableTagSet* editState READ editState NOTIFY editStateChanged)
    Q_PROPERTY(TagClipboard tagClipboard READ tagClipboard NOTIFY tagClipboardChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY undoStateChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY undoStateChanged)
    Q_PROPERTY(std::optional<QString> undoDescription READ undoDescription NOTIFY undoStateChanged)
    Q_PROPERTY(std::optional<QString> redoDescription READ redoDescription NOTIFY undoStateChanged)

public:
    using Completion = std::function<void()>;
    using CountCompletion = std::function<void(int count)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using LocationMap = QHash<QUuid, QUrl>;

    static constexpr int maxConcurrentReads = 8;
    static constexpr qsizetype undoDepth = 200;

    explicit DocumentViewModel(QObject* parent = nullptr);
    ~DocumentViewModel() override;

    // --- Published state ---
    const QList<AudioFile>& files() const { return m_files; }
    const QSet<QUuid>& selectedFiles() const { return m_selectedFiles; }
    // Runs the selection hook: a different selection rebuilds the edit state
    // and ends any running merge of edits.
    void setSelectedFiles(const QSet<QUuid>& ids);
    const QList<SortDescriptor>& sortOrder() const { return m_sortOrder; }
    void setSortOrder(const QList<SortDescriptor>& order);
    bool isLoading() const { return m_isLoading; }
    ImportProgress importProgress() const { return m_importProgress; }
    bool isSaving() const { return m_isSaving; }
    SaveProgress saveProgress() const { return m_saveProgress; }
    bool isWorking() const { return m_isWorking; }
    WorkProgress workProgress() const { return m_workProgress; }
    // What the user should hear of, oldest first, until dismissed.
    const QList<Notice>& notices() const { return m_notices; }
    void dismissNotice(quint64 id);
    EditableTagSet* editState() const { return m_editState; }
    const TagClipboard& tagClipboard() const { return m_tagClipboard; }
    bool canUndo() const { return m_canUndo; }
    bool canRedo() const { return m_canRedo; }
    const std::optional<QString>& undoDescription() const { return m_undoDescription; }
    const std::optional<QString>& redoDescription() const { return m_redoDescription; }

    // --- Computed views ---
    // The selected files in list order (ids not in the list are ignored).
    QList<AudioFile> selectedAudioFiles() const;
    qsizetype modifiedCount() const;
    std::optional<AudioProperties> firstSelectedProperties() const;
    qsizetype filesWithArtworkCount() const;
    // The last state of each file known to be on disk.
    const QHash<QUuid, AudioFile>& savedFiles() const { return m_savedFiles; }
    const UndoStack& undoStack() const { return m_undoStack; }

    // --- Services (tests inject readers and writers that fail or block) ---
    void setTagReader(std::shared_ptr<const TagReader> reader);
    void setTagWriter(std::shared_ptr<const TagWriter> writer);
    void setClock(Clock clock);

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
    Result<bool, QString> editField(TagField field, const QString& text,
                                    std::optional<QUuid> file = std::nullopt);

    // --- Undo and redo ---
    // Called when a step is applied: false when the files could not be moved
    // where the step has them (a notice says why, the list shows where they
    // are, and the step stays where it was).
    using StepCompletion = std::function<void(bool applied)>;
    // Both say whether they took a step or started its moves: false when there
    // was none, or while a save, an import or moves of files run, or (for a
    // step that moves files) while artwork work runs. A step that
    // moves no file is applied at once; one that does is applied when its
    // moves, run in the background, are done. `completion` follows either way.
    bool undo(StepCompletion completion = {});
    bool redo(StepCompletion completion = {});
    // The current state: the files and the selection.
    FileSnapshot snapshot() const;
    // Applies a snapshot as undo does, moving renamed files on disk; false
    // (and no completion) when refused because files move or artwork work runs.
    bool restore(const FileSnapshot& target, StepCompletion completion = {});

    // --- Saving ---
    void saveAll();
    // Saves the modified files, then calls `completion`; during a running save,
    // waits for it and then saves whatever is modified by then.
    void saveAll(Completion completion);
    void save(const QList<AudioFile>& files, Completion completion = {});

    // --- Renaming on disk ---
    // One file, at once (a single move, on this thread); failed while files move.
    FileRenameResult renameFile(const QUuid& id, const QString& typedName);
    // Whether moves of files for an undo, a redo or a rename run.
    bool isMovingFiles() const { return m_isMovingFiles; }

    // --- Tag clipboard ---
    void copyTagsFromSelected();
    void pasteTagsToSelected(bool tags, bool artwork, std::optional<TagField> singleField = std::nullopt);

    // --- Batch operations on the selection (or, where said, on all files) ---
    // Patterns (DocumentPatterns.cpp). A rename moves the selected files on
    // disk in the background, each on its own (a taken name leaves that file
    // where it is), records one step when the moves are done and then hands
    // over what happened to each file. False, with no completion, when there
    // is nothing selected or while a save, artwork work or moves of files run.
    using PatternRenameCompletion = std::function<void(const PatternRenameReport& report)>;
    bool renameFromPattern(const QString& pattern, PatternRenameCompletion completion = {});
    void tagsFromFilename(const QString& pattern, const QList<TagField>& fields);
    void tagsFromPath(const QString& pattern, const QList<TagField>& fields);
    // An absent total stores the number of files numbered; the padding width
    // does not change the stored numbers. Per folder, each folder's selected
    // files are numbered from `start` (and counted for the total) on their own.
    void numberTracks(qint64 start, std::optional<qint64> total, int paddingWidth, bool perFolder = false);

    // Text (DocumentTextOperations.cpp). Both return 0 and change nothing
    // when there is no target file; an expression that does not compile, or
    // takes too long, matches nothing.
    int findAndReplace(const QString& search, const QString& replacement, bool useRegex, bool wholeWord,
                       const QList<TagField>& fields, bool allFiles);
    int countFindMatches(const QString& search, bool useRegex, bool wholeWord, const QList<TagField>& fields,
                         bool allFiles) const;
    void applyTextTransform(TextTransform transform, const QList<TagField>& fields);
    void copyFieldToField(TagField source, TagField target);

    // Artwork (DocumentArtwork.cpp). Import and export work on all files.
    void setArtwork(const Artwork& artwork);
    void removeArtwork();
    // These three decode, encode, read or write pictures, which takes seconds
    // for a large library: they run in the background, one after another
    // (isWorking, workProgress), and change the document when they are done.
    // Optimisation leaves alone a file whose pictures changed meanwhile. The
    // counts are of files given artwork and of pictures written.
    void optimizeArtwork(int maxDimension, double jpegQuality, Completion completion = {});
    void batchImportArtwork(const QUrl& folder, CountCompletion completion = {});
    void batchExportAllArtwork(const QUrl& folder, CountCompletion completion = {});
    // The same for the selected files only.
    void exportSelectedArtwork(const QUrl& folder, CountCompletion completion = {});

signals:
    void filesChanged();
    void selectedFilesChanged();
    void sortOrderChanged();
    void isLoadingChanged();
    void importProgressChanged();
    void isSavingChanged();
    void saveProgressChanged();
    void isWorkingChanged();
    void workProgressChanged();
    // What the last change of the files did; filesChanged follows it.
    void changed(const DocumentChange& change);
    void noticesChanged();
    // A save of every modified file starts: views commit what is typed but not yet committed.
    void aboutToSave();
    void editStateChanged();
    void tagClipboardChanged();
    void undoStateChanged();
    void isMovingFilesChanged();

private:
    // How commit() records its undo step.
    enum class UndoRecord {
        step,  // the user's action: one step
        merge, // joins the step before when it was a quick edit of the same field of the same selection
        none,  // not the user's action (a save's bookkeeping, undo and redo themselves)
    };
    // The one road of every change to the files: records the undo step, puts
    // `files` in place in sort order, refills the edit state when selected
    // files changed, and emits `changed`. False when nothing differs (a step
    // is recorded all the same: the user asked for it).
    bool commit(const QString& description, QList<AudioFile> files, UndoRecord record = UndoRecord::step,
                std::optional<TagField> mergeField = std::nullopt);
    // Puts `files` in place and tells the views; commit()'s last step, and the import's for the files it
    // reads.
    void publish(QList<AudioFile> files, const DocumentChange& change);
    // Whether an edit of `field` now joins the undo step of the edits before it.
    bool continuesEditMerge(TagField field) const;
    // Applies `change` to a copy of every selected file and commits the result.
    bool commitSelected(const QString& description, const std::function<void(AudioFile&)>& change);
    void postNotice(Notice::Kind kind, const QString& text, const QStringList& files = {});
    QList<AudioFile> sorted(QList<AudioFile> files) const;
    void syncUndoState();
    // Marks `file` modified when its tags or pictures differ from those on disk, and takes the disk's save
    // time.
    void markAgainstDisk(AudioFile& file) const;
    void setLoading(bool loading);
    void setImportProgress(ImportProgress progress);
    void setSaving(bool saving);
    void setSaveProgress(SaveProgress progress);
    void setTagClipboard(const TagClipboard& clipboard);

    // Background work: `work` runs on the work pool, reporting its progress;
    // the step it returns runs on this thread when it is done. Work handed
    // over while other work runs waits for it.
    using ProgressReport = std::function<void(qint64 completed, qint64 total)>;
    using BackgroundWork = std::function<Completion(const ProgressReport&)>;
    void startWork(BackgroundWork work);
    void setWorking(bool working);
    // Writes every picture of `files` into `folder`, under the names of
    // ArtworkProcessing::exportFileName; write failures are skipped.
    void exportArtwork(const QList<AudioFile>& files, const QUrl& folder, CountCompletion completion);
    void setWorkProgress(WorkProgress progress);
    void runNextWork();

    void recordUndoStep(const QString& description, const FileSnapshot& before);
    void endEditMerge() { m_lastEditField.reset(); }
    // Rebuilds the current edit state from the selection.
    void refillEditState();
    qsizetype indexOfFile(const QUuid& id) const;
    bool applyUndoStep(bool undoing, StepCompletion completion);
    // Puts `target` in place with the files where `outcome` left them; false
    // (with a notice) when they are not where the target has them.
    bool finishRestore(const FileSnapshot& target, const QList<FileMove>& moves,
                       const FileMoveOutcome& outcome);
    // Runs `moves` in the background through a FileMover holding the folders
    // made so far; `finish` runs here with the outcome when they are done,
    // then whatever waited for the moves.
    void startMoves(QList<FileMove> moves, bool together, std::function<void(const FileMoveOutcome&)> finish);
    void setMovingFiles(bool moving);

    // Import: starts reading the files found off the GUI thread.
    void startImport(const QList<QUrl>& importList);
    void startImportJob(const QList<QUrl>& importList);

    // Saving
    void finishSave(const QList<AudioFile>& handedToSave, const QSet<QUuid>& written,
                    const QStringList& failures, const Completion& completion);
    WriteRequest writeRequest(const AudioFile& file) const;

    QList<AudioFile> m_files;
    QSet<QUuid> m_selectedFiles;
    QList<SortDescriptor> m_sortOrder{SortDescriptor{SortKey::filename, true}};
    bool m_isLoading = false;
    ImportProgress m_importProgress;
    bool m_isSaving = false;
    SaveProgress m_saveProgress;
    QList<Notice> m_notices;
    quint64 m_lastNoticeId = 0;
    QPointer<EditableTagSet> m_editState;
    TagClipboard m_tagClipboard;
    UndoStack m_undoStack{undoDepth};
    std::optional<TagField> m_lastEditField;
    QSet<QUuid> m_lastEditSelection;
    std::chrono::steady_clock::time_point m_lastEditTime{};
    bool m_canUndo = false;
    bool m_canRedo = false;
    std::optional<QString> m_undoDescription;
    std::optional<QString> m_redoDescription;
    std::shared_ptr<const TagReader> m_tagReader;
    std::shared_ptr<const TagWriter> m_tagWriter;
    QHash<QUuid, AudioFile> m_savedFiles;
    QSet<QString> m_madeFolders; // paths of folders made for renames
    bool m_isMovingFiles = false;
    QList<Completion> m_afterMoves; // saves and imports held while files move
    QList<Completion> m_pendingSaveCompletions;
    bool m_isWorking = false;
    WorkProgress m_workProgress;
    QList<BackgroundWork> m_queuedWork;
    QList<QUrl> m_queuedImports;
    Clock m_clock;
    QThreadPool m_readPool;
    QThreadPool m_workPool; // waits for its work when the document goes
};
