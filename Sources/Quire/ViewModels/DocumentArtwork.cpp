#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentMap>

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

void DocumentViewModel::setArtwork(const Artwork& artwork) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    const QList<Artwork> pictures{artwork}; // a copy: `artwork` may live in the list being replaced
    recordUndoStep(tr("Set artwork on %1 files").arg(m_selectedFiles.size()));
    changeSelectedFiles([&](AudioFile& file) {
        file.setArtwork(pictures);
        file.setModified(true);
    });
}

void DocumentViewModel::removeArtwork() {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    recordUndoStep(tr("Remove artwork from %1 files").arg(m_selectedFiles.size()));
    changeSelectedFiles([](AudioFile& file) {
        file.setArtwork({});
        file.setModified(true);
    });
}

void DocumentViewModel::optimizeArtwork(int maxDimension, double jpegQuality) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    if (selected.isEmpty())
        return;
    recordUndoStep(tr("Optimize artwork on %1 files").arg(m_selectedFiles.size()));

    // Only the image work leaves this thread; the document waits for it and changes nothing meanwhile.
    QList<QList<Artwork>> pictureLists;
    pictureLists.reserve(selected.size());
    for (const AudioFile& file : selected)
        pictureLists.append(file.artwork());
    const QList<QList<Artwork>> optimized =
        ArtworkProcessing::optimizeAll(pictureLists, maxDimension, jpegQuality);
    QHash<QUuid, QList<Artwork>> optimizedById;
    for (qsizetype i = 0; i < selected.size(); ++i)
        optimizedById.insert(selected[i].id(), optimized[i]);

    changeSelectedFiles([&](AudioFile& file) {
        file.setArtwork(optimizedById.value(file.id()));
        file.setModified(true);
    });
}

int DocumentViewModel::batchImportArtwork(const QUrl& folder) {
    ASSERT_GUI_THREAD();
    const QHash<QString, QUrl> images = imagesByStem(folder);
    if (images.isEmpty())
        return 0;
    recordUndoStep(tr("Batch import artwork from folder"));

    // Each matched image file is read and encoded once, in the pool; every file still gets a picture record
    // (and id) of its own.
    QList<qsizetype> imageOfFile;
    QList<QUrl> locations;
    QHash<QUrl, qsizetype> indexOfLocation;
    for (const AudioFile& file : std::as_const(m_files)) {
        const auto image = images.constFind(Platform::lastComponentWithoutExtension(file.url()));
        if (image == images.constEnd()) {
            imageOfFile.append(-1);
            continue;
        }
        qsizetype index = indexOfLocation.value(image.value(), -1);
        if (index < 0) {
            index = locations.size();
            indexOfLocation.insert(image.value(), index);
            locations.append(image.value());
        }
        imageOfFile.append(index);
    }
    const auto pictures = QtConcurrent::blockingMapped<QList<std::optional<Artwork>>>(
        locations, [](const QUrl& location) { return ArtworkProcessing::coverArtworkFromFile(location); });

    QList<AudioFile> files = m_files;
    int applied = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (imageOfFile[i] < 0 || !pictures[imageOfFile[i]])
            continue;
        Artwork picture = *pictures[imageOfFile[i]];
        picture.id = QUuid::createUuid();
        files[i].setArtwork({picture});
        files[i].setModified(true);
        ++applied;
    }
    setFiles(files);
    return applied;
}

int DocumentViewModel::batchExportAllArtwork(const QUrl& folder) const {
    ASSERT_GUI_THREAD();
    int written = 0;
    for (const AudioFile& file : m_files) {
        const QString stem = Platform::lastComponentWithoutExtension(file.url());
        const QList<Artwork>& pictures = file.artwork();
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            const QString name =
                ArtworkProcessing::exportFileName(stem, i + 1, pictures.size(), pictures[i].format);
            if (Platform::writeReplacing(pictures[i].data, Platform::appendingPathComponent(folder, name))
                    .ok())
                ++written;
        }
    }
    return written;
}
