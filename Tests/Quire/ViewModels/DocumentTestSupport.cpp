#include "DocumentTestSupport.h"

#include "Platform/FileSystem.h"
#include "QuireCore/TagWorker.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace DocumentTest {

namespace {

// Every helper this test program starts knows these markers (set before main()).
[[maybe_unused]] const bool faultsConfigured = [] {
    setenv(TagWorker::faultVariable,
           "crash=@crash@;hang=@hang@;picture-crash=@picture-crash@;picture-hang=@picture-hang@", 1);
    return true;
}();

} // namespace

QUrl Library::add(const QString& name, const QString& fixture) {
    QFile source(TestSupport::fixturePath(fixture));
    if (!source.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing fixture " + fixture.toStdString());
    return QUrl::fromLocalFile(m_folder.write(name, source.readAll()));
}

QUrl Library::url(const QString& relative) const {
    return QUrl::fromLocalFile(path(relative));
}

QString Library::path(const QString& relative) const {
    return relative.isEmpty() ? m_folder.path() : m_folder.filePath(relative);
}

namespace {

// Runs the event loop until `done` holds, checking whenever `signal` fires
// (polling would sleep between events and slow large imports down).
template <typename Signal>
void runUntil(DocumentViewModel& document, Signal signal, const std::function<bool()>& done,
              const char* what) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&document, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    timeout.start(20000);
    if (!done())
        loop.exec();
    if (!done())
        throw std::runtime_error(std::string(what) + " did not finish");
}

} // namespace

void importAndWait(DocumentViewModel& document, const QList<QUrl>& locations) {
    document.importFiles(locations);
    runUntil(
        document, &DocumentViewModel::isLoadingChanged, [&] { return !document.isLoading(); }, "import");
}

void waitForSave(DocumentViewModel& document) {
    runUntil(
        document, &DocumentViewModel::isSavingChanged, [&] { return !document.isSaving(); }, "save");
}

namespace {

bool applyAndWait(DocumentViewModel& document,
                  const std::function<bool(const DocumentViewModel::StepCompletion&)>& start) {
    std::optional<bool> applied;
    if (!start([&applied](bool done) { applied = done; }))
        return false;
    runUntil(
        document, &DocumentViewModel::isMovingFilesChanged, [&] { return applied.has_value(); }, "moves");
    return *applied;
}

} // namespace

bool undoAndWait(DocumentViewModel& document) {
    return applyAndWait(document, [&](const auto& done) { return document.undo(done); });
}

bool redoAndWait(DocumentViewModel& document) {
    return applyAndWait(document, [&](const auto& done) { return document.redo(done); });
}

bool restoreAndWait(DocumentViewModel& document, const FileSnapshot& target) {
    return applyAndWait(document, [&](const auto& done) { return document.restore(target, done); });
}

int renameAndWait(DocumentViewModel& document, const QString& pattern) {
    std::optional<PatternRenameReport> report;
    if (!document.renameFromPattern(pattern, [&report](const PatternRenameReport& done) { report = done; }))
        return 0;
    runUntil(
        document, &DocumentViewModel::isMovingFilesChanged, [&] { return report.has_value(); }, "rename");
    return report->movedCount();
}

QList<QUuid> idsOf(const QList<AudioFile>& files) {
    QList<QUuid> ids;
    for (const AudioFile& file : files)
        ids.append(file.id());
    return ids;
}

QStringList namesOf(const QList<AudioFile>& files) {
    QStringList names;
    for (const AudioFile& file : files)
        names.append(file.filename());
    return names;
}

const AudioFile& fileNamed(const DocumentViewModel& document, const QString& name) {
    for (const AudioFile& file : document.files()) {
        if (file.filename() == name)
            return file;
    }
    throw std::runtime_error("no file named " + name.toStdString());
}

AudioFile readBack(const QUrl& url) {
    ReadResult result = TagLibTagReader().read(url);
    if (!result)
        throw std::runtime_error("cannot read back " + url.toLocalFile().toStdString());
    return std::move(result).value();
}

ReadResult FailingReader::read(const QUrl& url) const {
    if (m_refused.contains(Platform::lastPathComponent(url)))
        return TagReaderError::readError(QStringLiteral("refused by the test"));
    return m_reader.read(url);
}

PicturesResult FailingReader::readPictures(const QUrl& url) const {
    if (m_refused.contains(Platform::lastPathComponent(url)))
        return TagReaderError::readError(QStringLiteral("refused by the test"));
    return m_reader.readPictures(url);
}

ReadResult GatedReader::read(const QUrl& url) const {
    const int now = ++m_inFlight;
    int seen = m_maxInFlight;
    while (now > seen && !m_maxInFlight.compare_exchange_weak(seen, now)) {
    }
    m_gate.acquire();
    --m_inFlight;
    return m_mock.read(url);
}

std::optional<TagReaderError> ControlledWriter::write(const QUrl& url, const TagSet& tags,
                                                      const WriteScope& scope,
                                                      const std::optional<QList<Artwork>>& artwork) const {
    ++m_started;
    {
        QMutexLocker lock(&m_mutex);
        m_artworkPassed.append(artwork.has_value());
        m_fieldsPassed.append(scope.fields);
        m_versionsPassed.append(scope.newId3v2Version);
    }
    if (m_gated)
        m_gate.acquire();
    if (m_failing.contains(Platform::lastPathComponent(url)))
        return TagReaderError::writeFailed();
    return m_writer.write(url, tags, scope, artwork);
}

QList<bool> ControlledWriter::artworkPassed() const {
    QMutexLocker lock(&m_mutex);
    return m_artworkPassed;
}

QList<FieldKeySet> ControlledWriter::fieldsPassed() const {
    QMutexLocker lock(&m_mutex);
    return m_fieldsPassed;
}

QList<int> ControlledWriter::versionsPassed() const {
    QMutexLocker lock(&m_mutex);
    return m_versionsPassed;
}

std::optional<QString> noticeText(const DocumentViewModel& document) {
    if (document.notices().all().isEmpty())
        return std::nullopt;
    QStringList texts;
    for (const Notice& notice : document.notices().all())
        texts.append(notice.text);
    return texts.join(QStringLiteral("\n\n"));
}

void dismissNotices(DocumentViewModel& document) {
    document.notices().takeAll();
}

} // namespace DocumentTest
