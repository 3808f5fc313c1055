#include "QuireCore/PictureStore.h"

PictureStore::PictureStore(std::shared_ptr<const TagReader> reader, qint64 capacityBytes)
    : m_reader(std::move(reader))
    , m_capacity(capacityBytes) {}

Result<QByteArray, TagReaderError> PictureStore::bytes(const Artwork& picture, const QUrl& location) const {
    if (picture.holdsBytes())
        return picture.data;
    if (std::optional<QByteArray> found = recent(picture.digest))
        return *found;
    const PicturesResult read = m_reader->readPictures(location);
    if (!read)
        return read.error();
    // Every picture of the file is kept: the next one asked for is usually its neighbour.
    std::optional<QByteArray> wanted;
    for (const Artwork& onDisk : read.value()) {
        // The digest is taken again here: the bytes came from another process.
        const QByteArray digest = Artwork::digestOf(onDisk.data);
        keep(digest, onDisk.data);
        if (digest == picture.digest)
            wanted = onDisk.data;
    }
    if (!wanted)
        return TagReaderError::picturesChanged();
    return *wanted;
}

Result<QList<Artwork>, TagReaderError> PictureStore::holding(QList<Artwork> pictures,
                                                             const QUrl& location) const {
    for (Artwork& picture : pictures) {
        Result<QByteArray, TagReaderError> found = bytes(picture, location);
        if (!found)
            return found.error();
        picture.data = std::move(found).value();
    }
    return pictures;
}

qint64 PictureStore::bytesKept() const {
    const std::lock_guard lock(m_mutex);
    return m_kept;
}

std::optional<QByteArray> PictureStore::recent(const QByteArray& digest) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_byDigest.constFind(digest);
    if (found == m_byDigest.cend())
        return std::nullopt;
    m_recent.splice(m_recent.begin(), m_recent, *found);
    return (*found)->bytes;
}

void PictureStore::keep(const QByteArray& digest, const QByteArray& bytes) const {
    if (bytes.size() > m_capacity)
        return;
    const std::lock_guard lock(m_mutex);
    if (const auto found = m_byDigest.constFind(digest); found != m_byDigest.cend()) {
        m_recent.splice(m_recent.begin(), m_recent, *found);
        return;
    }
    m_recent.push_front({digest, bytes});
    m_byDigest.insert(digest, m_recent.begin());
    m_kept += bytes.size();
    while (m_kept > m_capacity) {
        m_kept -= m_recent.back().bytes.size();
        m_byDigest.remove(m_recent.back().digest);
        m_recent.pop_back();
    }
}

Result<QByteArray, TagReaderError> PictureSource::bytes(const Artwork& picture) const {
    if (picture.holdsBytes())
        return picture.data;
    if (!store)
        return TagReaderError::picturesChanged();
    return store->bytes(picture, file);
}
