#pragma once

#include "Quire/ViewModels/BatchPreview.h"

#include "QuireCore/Artwork.h"
#include "QuireCore/AudioFile.h"

#include <QCoreApplication>
#include <QList>
#include <QUrl>
#include <functional>

class DocumentViewModel;

// The operations on pictures: set and remove on the selected files at once;
// optimise, import from a folder and export, which decode, encode, read or
// write pictures and take seconds for a large library, on the document's
// work queue, one after another. Every change goes through the document's
// commit() as one undo step.
class ArtworkOperations {
    Q_DECLARE_TR_FUNCTIONS(ArtworkOperations)

public:
    using Completion = std::function<void()>;
    using CountCompletion = std::function<void(int count)>;

    explicit ArtworkOperations(DocumentViewModel& document)
        : m_document(document) {}

    void setArtwork(const Artwork& artwork);
    void removeArtwork();
    // Optimisation leaves alone a file whose pictures changed while it ran.
    void optimizeArtwork(int maxDimension, double jpegQuality, Completion completion = {});
    // Gives each shown file the picture in `folder` (or below it) named like the file; the count is of
    // files given artwork.
    void batchImportArtwork(const QUrl& folder, CountCompletion completion = {});
    // What batchImportArtwork(folder) will give each shown file: the image named like it, or that
    // there is none. Lists the folder on this thread.
    BatchPreview batchImportPreview(const QUrl& folder) const;
    // Write every picture of every shown file, or of the selected files, into `folder`; the count is
    // of pictures written.
    void batchExportAllArtwork(const QUrl& folder, CountCompletion completion = {});
    void exportSelectedArtwork(const QUrl& folder, CountCompletion completion = {});

private:
    // Writes every picture of `files` into `folder`, under the names of
    // ArtworkProcessing::exportFileName; write failures are skipped.
    void exportArtwork(const QList<AudioFile>& files, const QUrl& folder, CountCompletion completion);

    DocumentViewModel& m_document;
};
