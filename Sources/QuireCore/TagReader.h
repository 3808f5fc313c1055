#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagReaderError.h"

#include <QUrl>

using ReadResult = Result<AudioFile, TagReaderError>;
using PicturesResult = Result<QList<Artwork>, TagReaderError>;

// Turns a file on disk into an AudioFile record. Implementations keep no state
// and may be called from several threads at once; callers run reads off the
// user-interface thread.
class TagReader {
public:
    virtual ~TagReader() = default;
    // The record describes the file's pictures without holding their bytes.
    virtual ReadResult read(const QUrl& url) const = 0;
    // The file's pictures with their bytes, as they are on disk now.
    virtual PicturesResult readPictures(const QUrl& url) const = 0;
};

// Reads through TagLib.
class TagLibTagReader final : public TagReader {
public:
    ReadResult read(const QUrl& url) const override;
    PicturesResult readPictures(const QUrl& url) const override;
};

// Fabricates a plausible record from the file name alone, never touching the
// file: for previews and interface tests. Never fails; its files have no pictures.
class MockTagReader final : public TagReader {
public:
    ReadResult read(const QUrl& url) const override;
    PicturesResult readPictures(const QUrl&) const override { return QList<Artwork>(); }
};
