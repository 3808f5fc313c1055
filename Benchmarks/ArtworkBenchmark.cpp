// Times artwork optimisation over a large selection whose files share a few big covers, as an album's
// tracks do: every picture encoded on its own (on one thread and in the pool) against equal pictures
// encoded once, and the document operation end to end.
//
//   cadenza-artwork-benchmark [files=500] [covers=5] [edge=3000] [--skip-serial]

#include "Platform/ImageServices.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/DocumentViewModel.h"

#include "BenchmarkSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>
#include <functional>

using namespace ArtworkProcessing;

namespace {

constexpr int maxDimension = 1000;
constexpr double quality = 0.8;

// A photograph-like cover: smooth gradients with fine grain, so that JPEG sizes are realistic.
QImage coverImage(int edge, quint32 seed) {
    QImage image(edge, edge, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < edge; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < edge; ++x) {
            const int grain = int(random.bounded(24));
            line[x] = qRgb((x * 200 / edge + grain) & 0xFF, (y * 200 / edge + grain) & 0xFF,
                           ((x + y) / 16 + int(seed) * 50 + grain) & 0xFF);
        }
    }
    return image;
}

bool importFolder(DocumentViewModel& document, const QString& folder) {
    return importAndWait(document, folder, 120'000);
}

double secondsFor(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

bool sameBytes(const QList<QList<Artwork>>& a, const QList<QList<Artwork>>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (qsizetype j = 0; j < a[i].size(); ++j) {
            if (a[i][j].data != b[i][j].data || a[i][j].width != b[i][j].width)
                return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    startBenchmark(argc, argv);
    QGuiApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool skipSerial = arguments.removeAll(QStringLiteral("--skip-serial")) > 0;
    const int fileCount = arguments.value(0, QStringLiteral("500")).toInt();
    const int coverCount = arguments.value(1, QStringLiteral("5")).toInt();
    const int edge = arguments.value(2, QStringLiteral("3000")).toInt();
    if (fileCount < 1 || coverCount < 1 || edge < 1) {
        std::fprintf(stderr, "usage: cadenza-artwork-benchmark [files] [covers] [edge] [--skip-serial]\n");
        return 2;
    }

    std::printf(
        "%d files, %d covers of %d x %d, optimised to %d px at quality %.2f; %d threads in the pool\n",
        fileCount, coverCount, edge, edge, maxDimension, quality,
        QThreadPool::globalInstance()->maxThreadCount());

    // Real audio files, read by the real reader.
    QTemporaryDir folder;
    if (!writeAudioCopies(folder, fileCount, QStringLiteral("track-"), 4))
        return 1;
    DocumentViewModel document;
    if (!importFolder(document, folder.path()) || document.files().size() != fileCount) {
        std::fprintf(stderr, "import failed\n");
        return 1;
    }

    QList<QByteArray> covers;
    for (int i = 0; i < coverCount; ++i)
        covers.append(Platform::encodeJpeg(coverImage(edge, quint32(i)), 0.9).value());
    std::printf("cover size: %.2f MB each (first)\n", covers.first().size() / 1e6);

    // Contiguous albums; every file holds its own copy of its album's cover bytes, as files read from disk
    // do.
    const QList<AudioFile> files = document.files();
    for (int i = 0; i < fileCount; ++i) {
        const QByteArray& cover = covers[qsizetype(i) * coverCount / fileCount];
        const QByteArray bytes(cover.constData(), cover.size());
        document.setSelectedFiles({files[i].id()});
        Artwork picture = Artwork::holding(bytes, ImageFormat::jpeg, ArtworkType::frontCover);
        picture.width = picture.height = edge;
        document.artworkOperations().setArtwork(picture);
    }
    QSet<QUuid> all;
    for (const AudioFile& file : document.files())
        all.insert(file.id());
    document.setSelectedFiles(all);
    QList<QList<Artwork>> lists;
    for (const AudioFile& file : document.selectedAudioFiles())
        lists.append(file.artwork());

    std::printf("\n| path | seconds |\n|---|---|\n");
    QList<QList<Artwork>> serial;
    if (!skipSerial) {
        const double seconds = secondsFor([&] {
            for (const QList<Artwork>& pictures : lists) {
                QList<Artwork> optimized;
                for (const Artwork& picture : pictures)
                    optimized.append(optimizeSingle(picture, maxDimension, quality));
                serial.append(optimized);
            }
        });
        std::printf("| every picture, one thread | %.2f |\n", seconds);
    }
    QList<QList<Artwork>> eachInPool, shared;
    std::printf("| every picture, thread pool | %.2f |\n", secondsFor([&] {
                    eachInPool = optimizeAll(lists, maxDimension, quality, PictureSharing::encodeEachPicture);
                }));
    std::printf("| equal pictures once, thread pool | %.2f |\n",
                secondsFor([&] { shared = optimizeAll(lists, maxDimension, quality); }));
    std::printf(
        "| document optimizeArtwork (equal pictures once, with its undo step) | %.2f |\n", secondsFor([&] {
            // The operation works in the background and changes the document when done.
            QEventLoop loop;
            document.artworkOperations().optimizeArtwork(maxDimension, quality, [&loop] { loop.quit(); });
            loop.exec();
        }));

    QSet<QUuid> ids;
    bool allShrunk = true;
    for (const AudioFile& file : document.files()) {
        for (const Artwork& picture : file.artwork()) {
            ids.insert(picture.id);
            allShrunk = allShrunk && picture.format == ImageFormat::jpeg && picture.width == maxDimension;
        }
    }
    const bool agree = sameBytes(eachInPool, shared) && (skipSerial || sameBytes(serial, shared));
    std::printf("\nresults agree: %s; every picture shrunk: %s; distinct ids: %lld of %d\n",
                agree ? "yes" : "NO", allShrunk ? "yes" : "NO", static_cast<long long>(ids.size()),
                fileCount);
    return agree && allShrunk && ids.size() == fileCount ? 0 : 1;
}
