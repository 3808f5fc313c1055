#include "Quire/ViewModels/ArtworkOperations.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QHash>
#include <QMetaObject>
#include <QtConcurrent/QtConcurrentMap>
#include <atomic>

namespace {

bool isRecognisedImageExtension(const QString& extension) {
    static const QStringList recognised = {QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                           QStringLiteral("png"),  QStringLiteral("bmp"),
                                           QStringLiteral("tiff"), QStringLiteral("tif")};
    return recognised.contains(extension.toLower());
}

// The image file for each name stem; a later file with the same stem replaces an earlier one.
QHash<QString, QUrl> imagesByStem(const QUrl& folder) {
    QHash<QString, QUrl> images;
    for (const Platform::DirectoryEntry& entry : Platform::enumerateRecursively(folder)) {
        // A folder named like a picture would hide a real picture of that stem.
        if (entry.isRegularFile && isRecognisedImageExtension(Platform::pathExtension(entry.location)))
            images.insert(Platform::lastComponentWithoutExtension(entry.location), entry.location);
    }
    return images;
}

} // namespace

void ArtworkOperations::setArtwork(const Artwork& artwork) {
    ASSERT_THREAD_OF(m_document);
    const qsizetype count = m_document.selectedAudioFiles().size();
    if (count == 0)
        return;
    const QList<Artwork> pictures{artwork}; // a copy: `artwork` may live in the list being replaced
    m_document.commitSelected(tr("Set artwork on %n files", nullptr, int(count)),
                              [&](AudioFile& file) { file.setArtwork(pictures); });
}

void ArtworkOperations::removeArtwork() {
    ASSERT_THREAD_OF(m_document);
    const qsizetype count = m_document.selectedAudioFiles().size();
    if (count == 0)
        return;
    m_document.commitSelected(tr("Remove artwork from %n files", nullptr, int(count)),
                              [](AudioFile& file) { file.setArtwork({}); });
}

void ArtworkOperations::optimizeArtwork(int maxDimension, double jpegQuality, Completion completion) {
    ASSERT_THREAD_OF(m_document);
    const QList<AudioFile> selected = m_document.selectedAudioFiles();
    if (selected.isEmpty()) {
        if (completion)
            completion();
        return;
    }
    QList<PictureSource> sources;
    for (const AudioFile& file : selected)
        sources.append(m_document.pictureSource(file));
    m_document.work().start([this, selected, sources, maxDimension, jpegQuality,
                             completion](const WorkQueue::ProgressReport& report) {
        QList<QList<Artwork>> pictureLists;
        pictureLists.reserve(selected.size());
        for (const AudioFile& file : selected)
            pictureLists.append(file.artwork());
        const QList<QList<Artwork>> optimized = ArtworkProcessing::optimizeAll(
            pictureLists, maxDimension, jpegQuality, ArtworkProcessing::PictureSharing::encodeOnce, report,
            defaultPictureDecoder(), sources);
        return [this, selected, optimized, completion] {
            // Pictures changed while the work ran are the user's newer choice.
            QHash<QUuid, qsizetype> started;
            for (qsizetype i = 0; i < selected.size(); ++i)
                started.insert(selected[i].id(), i);
            QList<AudioFile> files = m_document.files();
            bool changed = false;
            for (AudioFile& file : files) {
                const qsizetype index = started.value(file.id(), -1);
                if (index < 0 || file.artwork() != selected[index].artwork())
                    continue;
                changed = true;
                file.setArtwork(optimized[index]);
            }
            if (changed)
                m_document.commit(tr("Optimize artwork on %n files", nullptr, int(selected.size())),
                                  std::move(files));
            if (completion)
                completion();
        };
    });
}

BatchPreview ArtworkOperations::batchImportPreview(const QUrl& folder) const {
    const QHash<QString, QUrl> images = imagesByStem(folder);
    BatchPreview preview;
    QList<PreviewLine> skipped;
    for (const AudioFile& file : m_document.shownFiles()) {
        const QString stem = Platform::lastComponentWithoutExtension(file.url());
        const auto image = images.constFind(stem);
        if (image != images.constEnd()) {
            if (preview.changing++ < previewLineLimit)
                preview.lines.append({file.id(), file.filename(), PreviewLine::Status::changes,
                                      QStringLiteral("← ") + Platform::lastPathComponent(*image)});
        } else if (preview.skipped++ < previewLineLimit) {
            skipped.append({file.id(), file.filename(), PreviewLine::Status::skipped,
                            tr("no image named “%1”").arg(stem)});
        }
    }
    preview.lines.append(skipped);
    QStringList parts{preview.changing == 0
                          ? tr("No file has an image named like it")
                          : tr("%n files will get artwork", nullptr, int(preview.changing))};
    if (preview.skipped > 0)
        parts.append(tr("%n without an image", nullptr, int(preview.skipped)));
    preview.summary = parts.join(QStringLiteral(", "));
    return preview;
}

void ArtworkOperations::batchImportArtwork(const QUrl& folder, CountCompletion completion) {
    ASSERT_THREAD_OF(m_document);
    QList<std::pair<QUuid, QString>> stems;
    const QList<AudioFile> shown = m_document.shownFiles();
    stems.reserve(shown.size());
    for (const AudioFile& file : shown)
        stems.append({file.id(), Platform::lastComponentWithoutExtension(file.url())});

    m_document.work().start([this, folder, stems, completion](const WorkQueue::ProgressReport& report) {
        // Each matched image file is read and encoded once; every file still
        // gets a picture record (and id) of its own.
        const QHash<QString, QUrl> images = imagesByStem(folder);
        QList<QUrl> locations;
        QHash<QUrl, qsizetype> indexOfLocation;
        QHash<QUuid, qsizetype> imageOfFile;
        for (const auto& [id, stem] : stems) {
            const auto image = images.constFind(stem);
            if (image == images.constEnd())
                continue;
            const auto [index, isNew] = [&] {
                const auto known = indexOfLocation.constFind(image.value());
                return known != indexOfLocation.constEnd() ? std::pair{*known, false}
                                                           : std::pair{locations.size(), true};
            }();
            if (isNew) {
                indexOfLocation.insert(image.value(), index);
                locations.append(image.value());
            }
            imageOfFile.insert(id, index);
        }
        std::atomic<qint64> done{0};
        const qint64 total = locations.size();
        const auto pictures =
            QtConcurrent::blockingMapped<QList<std::optional<Artwork>>>(locations, [&](const QUrl& location) {
                std::optional<Artwork> picture = ArtworkProcessing::coverArtworkFromFile(location);
                report(++done, total);
                return picture;
            });
        return [this, hasImages = !images.isEmpty(), imageOfFile, pictures, completion] {
            QList<AudioFile> files = m_document.files();
            int applied = 0;
            for (AudioFile& file : files) {
                const qsizetype image = imageOfFile.value(file.id(), -1);
                if (image < 0 || !pictures[image])
                    continue;
                ++applied;
                Artwork picture = *pictures[image];
                picture.id = QUuid::createUuid();
                file.setArtwork({picture});
            }
            if (hasImages)
                m_document.commit(tr("Batch import artwork from folder"), std::move(files));
            if (completion)
                completion(applied);
        };
    });
}

void ArtworkOperations::batchExportAllArtwork(const QUrl& folder, CountCompletion completion) {
    ASSERT_THREAD_OF(m_document);
    exportArtwork(m_document.shownFiles(), folder, std::move(completion));
}

void ArtworkOperations::exportSelectedArtwork(const QUrl& folder, CountCompletion completion) {
    ASSERT_THREAD_OF(m_document);
    exportArtwork(m_document.selectedAudioFiles(), folder, std::move(completion));
}

// The files are values: the export writes what they hold now.
void ArtworkOperations::exportArtwork(const QList<AudioFile>& files, const QUrl& folder,
                                      CountCompletion completion) {
    QList<PictureSource> sources;
    for (const AudioFile& file : files)
        sources.append(m_document.pictureSource(file));
    m_document.work().start([folder, files, sources, completion](const WorkQueue::ProgressReport& report) {
        int written = 0;
        for (qsizetype index = 0; index < files.size(); ++index) {
            const AudioFile& file = files[index];
            const QString stem = Platform::lastComponentWithoutExtension(file.url());
            const QList<Artwork>& pictures = file.artwork();
            for (qsizetype i = 0; i < pictures.size(); ++i) {
                const QString name =
                    ArtworkProcessing::exportFileName(stem, i + 1, pictures.size(), pictures[i].format);
                // A picture its file no longer holds is not written: the count says so.
                const Result<QByteArray, TagReaderError> bytes = sources[index].bytes(pictures[i]);
                if (bytes &&
                    Platform::writeReplacing(bytes.value(), Platform::appendingPathComponent(folder, name))
                        .ok())
                    ++written;
            }
            report(index + 1, files.size());
        }
        return [written, completion] {
            if (completion)
                completion(written);
        };
    });
}
