#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagReader.h"
#include "QuireCore/TagReaderError.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QUrl>
#include <list>
#include <memory>
#include <mutex>

// The bytes of pictures that loaded files describe but do not hold (see
// Artwork), read from their files when something needs them: a view showing
// them, an export, an optimisation, the tag clipboard. The most recently used
// are kept, up to a byte limit. A picture is found by its digest, so the bytes
// handed out are always those the record describes: a file that no longer
// holds the picture fails with TagReaderError::picturesChanged. Safe to use
// from several threads at once.
class PictureStore {
public:
    static constexpr qint64 defaultCapacity = qint64{96} << 20;

    explicit PictureStore(std::shared_ptr<const TagReader> reader, qint64 capacityBytes = defaultCapacity);
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // The picture's bytes: those it holds, recently used ones of the same
    // digest, or those the file at `location` holds now.
    Result<QByteArray, TagReaderError> bytes(const Artwork& picture, const QUrl& location) const;
    // The pictures, each holding its bytes (one read of the file at most).
    Result<QList<Artwork>, TagReaderError> holding(QList<Artwork> pictures, const QUrl& location) const;

    qint64 bytesKept() const;

private:
    std::optional<QByteArray> recent(const QByteArray& digest) const;
    void keep(const QByteArray& digest, const QByteArray& bytes) const;

    std::shared_ptr<const TagReader> m_reader;
    qint64 m_capacity;
    mutable std::mutex m_mutex;
    // Most recently used first; the hash points into the list.
    struct Entry {
        QByteArray digest;
        QByteArray bytes;
    };
    mutable std::list<Entry> m_recent;
    mutable QHash<QByteArray, std::list<Entry>::iterator> m_byDigest;
    mutable qint64 m_kept = 0;
};

// Where the pictures of one file can be read again.
struct PictureSource {
    std::shared_ptr<const PictureStore> store;
    QUrl file;

    Result<QByteArray, TagReaderError> bytes(const Artwork& picture) const;
};
