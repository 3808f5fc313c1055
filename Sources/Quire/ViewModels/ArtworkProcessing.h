#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/AudioFile.h"
#include "QuireCore/PictureDecoder.h"
#include "QuireCore/PictureStore.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The picture work behind the artwork operations and the optimisation sheet. Pure functions of their
// arguments, safe on any thread: the document calls them from the pool for large selections. Pictures from
// files and from disk are decoded by a PictureDecoder, the helpers' by default, so that a picture that
// crashes or hangs an image library fails alone.
namespace ArtworkProcessing {

// The image encoded as a new picture record: JPEG at `quality`, or lossless TIFF when JPEG encoding fails;
// dimensions read back from the new bytes (the image's size when they cannot be read), a new random id.
// Absent when neither encoding works, so that no caller ever stores a picture without bytes.
std::optional<Artwork> recompress(const QImage& image, double quality, ArtworkType type,
                                  const std::optional<QString>& description);

// The picture decoded, shrunk to maxDimension and re-encoded by recompress, keeping its type and
// description and taking a new id. A picture that cannot be decoded (or re-encoded) comes back unchanged,
// id included.
Artwork optimizeSingle(const Artwork& artwork, int maxDimension, double quality,
                       const PictureDecoder& decoder = defaultPictureDecoder());

enum class PictureSharing {
    encodeOnce,        // pictures with equal bytes are decoded and encoded once per call
    encodeEachPicture, // every picture on its own (for comparison in benchmarks)
};

// optimizeSingle applied to every picture of every list, order kept, with the image work spread over the
// global thread pool. The result is the same with either sharing: every optimised picture still gets its
// own new id. Blocks until done; `progress`, when given, hears of every piece of image work done (from the
// pool's threads). Pictures that do not hold their bytes are read from the list's source (`sources` runs
// beside `pictureLists`), each distinct one once; one its file no longer holds stays as it is.
QList<QList<Artwork>> optimizeAll(const QList<QList<Artwork>>& pictureLists, int maxDimension, double quality,
                                  PictureSharing sharing = PictureSharing::encodeOnce,
                                  const std::function<void(qint64 completed, qint64 total)>& progress = {},
                                  const PictureDecoder& decoder = defaultPictureDecoder(),
                                  const QList<PictureSource>& sources = {});

// A front-cover JPEG picture (quality 0.9, no description, new id) made from an image, as setting artwork
// from a chosen, pasted, dropped or imported image does; absent when encoding fails.
std::optional<Artwork> coverArtwork(const QImage& image);
// The same from an image file on disk, or from encoded bytes (a pasted image); absent when it cannot be
// read, decoded or encoded.
std::optional<Artwork> coverArtworkFromFile(const QUrl& location,
                                            const PictureDecoder& decoder = defaultPictureDecoder());
std::optional<Artwork> coverArtworkFromBytes(const QByteArray& bytes,
                                             const PictureDecoder& decoder = defaultPictureDecoder());

// The name a picture is exported under: stem-artwork.jpg for a file's only picture, stem-frame2.png for the
// second of several (position counts from 1), with the extension of the picture's format.
QString exportFileName(const QString& stem, qsizetype position, qsizetype count, ImageFormat format);

// The figures of the optimisation sheet, over the selected files in list order.
// The sum of sizeBytes over every picture of every file.
qint64 currentTotalSize(const QList<AudioFile>& selectedFiles);
// The JPEG byte count of the first picture of the first file (read through `firstFile` when it does not
// hold its bytes) after PictureWork::resized; 0 when there is none or a step fails.
qint64 estimatedSize(const QList<AudioFile>& selectedFiles, const PictureSource& firstFile, int maxDimension,
                     double quality, const PictureDecoder& decoder = defaultPictureDecoder());
// The number of pictures of the first file, or 1 when it has none or there is no file.
qint64 frameCount(const QList<AudioFile>& selectedFiles);

struct SizeChangeCaption {
    QString text;   // "↓ 50% smaller", "↑ 25% larger"
    bool isSmaller; // shown in green when smaller, orange otherwise
    bool operator==(const SizeChangeCaption&) const = default;
};

struct ArtworkEstimate {
    qint64 currentTotalSize = 0;
    qint64 estimatedSize = 0;
    qint64 frames = 1;

    static ArtworkEstimate of(const QList<AudioFile>& selectedFiles, const PictureSource& firstFile,
                              int maxDimension, double quality);

    // The estimate per frame against the current size per frame (an integer division); absent when the
    // current size per frame is 0.
    std::optional<double> ratio() const;
    // Shown only when there is a current size and an estimate.
    std::optional<SizeChangeCaption> caption() const;
};

} // namespace ArtworkProcessing
