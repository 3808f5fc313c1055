#pragma once

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Support/TestSupport.h"

#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QString>
#include <atomic>
#include <memory>

namespace DocumentTest {

// A folder of real audio files copied from the fixtures.
class Library {
public:
    // Copies fixture `fixture` to `name` (sub-folders allowed); returns its URL.
    QUrl add(const QString& name, const QString& fixture = QStringLiteral("tagged.mp3"));
    QUrl url(const QString& relative = {}) const;
    QString path(const QString& relative = {}) const;
    const TestSupport::ScratchFolder& folder() const { return m_folder; }

private:
    TestSupport::ScratchFolder m_folder;
};

// Imports and waits until the import (and any queued after it) has ended.
void importAndWait(DocumentViewModel& document, const QList<QUrl>& locations);
void waitForSave(DocumentViewModel& document);
// Undo, redo, restore and rename from a pattern, waiting for their moves of
// files: whether the step was applied, and how many files moved.
bool undoAndWait(DocumentViewModel& document);
bool redoAndWait(DocumentViewModel& document);
bool restoreAndWait(DocumentViewModel& document, const FileSnapshot& target);
int renameAndWait(DocumentViewModel& document, const QString& pattern);
QList<QUuid> idsOf(const QList<AudioFile>& files);
// The texts of the document's notices, oldest first, as paragraphs of one text; none without notices.
std::optional<QString> noticeText(const DocumentViewModel& document);
// Dismisses every notice.
void dismissNotices(DocumentViewModel& document);
QStringList namesOf(const QList<AudioFile>& files);
const AudioFile& fileNamed(const DocumentViewModel& document, const QString& name);
// Reads a file from disk afresh through the real reader.
AudioFile readBack(const QUrl& url);

// The real reader, refusing the files whose names are listed.
class FailingReader : public TagReader {
public:
    explicit FailingReader(QSet<QString> refusedNames)
        : m_refused(std::move(refusedNames)) {}
    ReadResult read(const QUrl& url) const override;
    PicturesResult readPictures(const QUrl& url) const override;

private:
    QSet<QString> m_refused;
    TagLibTagReader m_reader;
};

// Fabricates files (never touching the disk) and blocks every read until
// released, counting how many reads are in flight at once.
class GatedReader : public TagReader {
public:
    ReadResult read(const QUrl& url) const override;
    PicturesResult readPictures(const QUrl& url) const override { return m_mock.readPictures(url); }
    void release(int reads) { m_gate.release(reads); }
    int maxInFlight() const { return m_maxInFlight; }
    int inFlight() const { return m_inFlight; }

private:
    mutable QSemaphore m_gate;
    mutable std::atomic<int> m_inFlight{0};
    mutable std::atomic<int> m_maxInFlight{0};
    MockTagReader m_mock;
};

// The real writer, failing for the files whose names are listed, and
// optionally holding every write until released.
class ControlledWriter : public TagWriter {
public:
    explicit ControlledWriter(QSet<QString> failingNames = {}, bool gated = false)
        : m_failing(std::move(failingNames))
        , m_gated(gated) {}
    using TagWriter::write;
    std::optional<TagReaderError> write(const QUrl& url, const TagSet& tags, const WriteScope& scope,
                                        const std::optional<QList<Artwork>>& artwork) const override;
    void release(int writes) { m_gate.release(writes); }
    int writesStarted() const { return m_started; }
    // What each call was given for its artwork (none = leave the pictures).
    QList<bool> artworkPassed() const;
    // The fields each call was given.
    QList<FieldKeySet> fieldsPassed() const;
    // The ID3v2 version each call was to give a tag it creates.
    QList<int> versionsPassed() const;

private:
    QSet<QString> m_failing;
    bool m_gated;
    mutable QSemaphore m_gate;
    mutable std::atomic<int> m_started{0};
    mutable QMutex m_mutex;
    mutable QList<bool> m_artworkPassed;
    mutable QList<FieldKeySet> m_fieldsPassed;
    mutable QList<int> m_versionsPassed;
    TagLibWriter m_writer;
};

} // namespace DocumentTest
