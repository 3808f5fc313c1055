// Times one tag save written straight into the file by TagLib against the same save through a working copy
// (replaceFileSafely), for a small MP3, a large FLAC and a large FLAC with two hard links. Each save changes
// the title, alternating between two titles of equal length.
//
//   cadenza-save-benchmark [folder=/tmp] [runs=9] [flac megabytes=30]
//
// The FLAC is made with ffmpeg (white noise, which hardly compresses); without ffmpeg its size comes from
// pictures instead.

#include "CTagLibBridge.h"
#include "QuireCore/SafeFileReplacement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace {

int writeTitle(const QByteArray& path, const char* title, const std::vector<QByteArray>& pictures = {}) {
    std::vector<CTagLibArtworkWrite> artwork;
    for (const QByteArray& picture : pictures)
        artwork.push_back({reinterpret_cast<const uint8_t*>(picture.constData()), picture.size(),
                           "image/jpeg", 3, nullptr});
    return ctaglib_write(path.constData(), title, "Artist", "Album", "", "", "", "", "", "", 2024, 1, 1, 1, 0,
                         0, 0, 0, 0, 0, 0, 0, -1, artwork.empty() ? nullptr : artwork.data(),
                         artwork.empty() ? -1 : int32_t(artwork.size()));
}

bool readsTitle(const QByteArray& path, const char* title) {
    CTagLibTag* record = ctaglib_read(path.constData());
    const bool ok = record && !record->error && record->title && qstrcmp(record->title, title) == 0;
    ctaglib_free_result(record);
    return ok;
}

bool flush(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Milliseconds per call, median of runs; -1 when any call fails.
double timed(int runs, const std::function<bool(int run)>& save) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!save(run))
            return -1;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

QString fileSystemName(const QString& folder) {
    struct statfs status {};
    if (::statfs(QFile::encodeName(folder).constData(), &status) != 0)
        return QStringLiteral("?");
    switch (status.f_type) {
    case 0xEF53:
        return QStringLiteral("ext2/ext3/ext4");
    case 0x01021994:
        return QStringLiteral("tmpfs");
    case 0x58465342:
        return QStringLiteral("xfs");
    case 0x9123683E:
        return QStringLiteral("btrfs");
    default:
        return QStringLiteral("0x%1").arg(qulonglong(status.f_type), 0, 16);
    }
}

bool makeLargeFlac(const QString& path, int megabytes) {
    // Two channels of independent white noise, 16 bits at 44.1 kHz, which FLAC hardly compresses: about
    // 172 kB a second.
    const int seconds = std::max(1, int(qint64(megabytes) * 1'000'000 / 172'000));
    const QString noise = QStringLiteral("anoisesrc=d=%1:c=white:r=44100:a=0.5:s=%2[%3]");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                            QStringLiteral("-y"), QStringLiteral("-filter_complex"),
                                            noise.arg(seconds).arg(1).arg(QStringLiteral("a")) + u';' +
                                                noise.arg(seconds).arg(2).arg(QStringLiteral("b")) +
                                                QStringLiteral(";[a][b]amerge=inputs=2"),
                                            QStringLiteral("-sample_fmt"), QStringLiteral("s16"), path});
    if (ffmpeg.waitForFinished(600'000) && ffmpeg.exitCode() == 0)
        return true;
    std::fprintf(stderr, "ffmpeg failed or is missing; padding a small FLAC with pictures instead\n");
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(CADENZA_FIXTURES_DIR "/tagged.flac"), path))
        return false;
    // The bridge stores a FLAC picture twice (a picture block and base64 in the Vorbis comment, which must
    // stay below 16 MiB): one picture of up to 11 MiB gives up to about 26 MB.
    const QByteArray picture(std::min(megabytes * 10 / 23, 11) << 20, '\x5A');
    return writeTitle(QFile::encodeName(path), "Title A", {picture}) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString parent = arguments.value(0, QStringLiteral("/tmp"));
    const int runs = arguments.value(1, QStringLiteral("9")).toInt();
    const int megabytes = arguments.value(2, QStringLiteral("30")).toInt();
    QTemporaryDir folder(parent + QStringLiteral("/cadenza-save-benchmark-XXXXXX"));
    if (!folder.isValid() || runs < 1 || megabytes < 1) {
        std::fprintf(stderr, "usage: cadenza-save-benchmark [folder] [runs] [flac megabytes]\n");
        return 2;
    }

    const QString mp3 = folder.filePath(QStringLiteral("small.mp3"));
    const QString flac = folder.filePath(QStringLiteral("large.flac"));
    const QString linked = folder.filePath(QStringLiteral("linked.flac"));
    if (!QFile::copy(QStringLiteral(CADENZA_FIXTURES_DIR "/tagged.mp3"), mp3) ||
        !makeLargeFlac(flac, megabytes) || !QFile::copy(flac, linked) ||
        ::link(QFile::encodeName(linked).constData(),
               QFile::encodeName(linked + QStringLiteral(".2")).constData()) != 0) {
        std::fprintf(stderr, "cannot prepare the files in %s\n", qPrintable(folder.path()));
        return 1;
    }

    bool cloned = false;
    std::printf("folder %s (%s), median of %d saves, ms per save\n\n", qPrintable(folder.path()),
                qPrintable(fileSystemName(folder.path())), runs);
    std::printf(
        "| file | size | in place (TagLib alone) | in place + read back + fsync | replaceFileSafely | "
        "method |\n|---|---|---|---|---|---|\n");
    for (const QString& path : {mp3, flac, linked}) {
        const QByteArray native = QFile::encodeName(path);
        auto title = [](int run) { return run % 2 ? "Title A" : "Title B"; };
        const double inPlace = timed(runs, [&](int run) { return writeTitle(native, title(run)) == 0; });
        const double inPlaceChecked = timed(runs, [&](int run) {
            return writeTitle(native, title(run)) == 0 && readsTitle(native, title(run)) && flush(native);
        });
        ReplacementMethod method = ReplacementMethod::renamed;
        const double safe = timed(runs, [&](int run) {
            const ReplacementResult result = replaceFileSafely(path, [&](const QByteArray& copy) {
                return writeTitle(copy, title(run)) == 0 && readsTitle(copy, title(run));
            });
            if (result) {
                method = result.value().method;
                cloned = cloned || result.value().workingCopyCloned;
            }
            return result.ok() && readsTitle(native, title(run));
        });
        std::printf("| %s | %.1f MB | %.2f | %.2f | %.2f | %s |\n", qPrintable(QFileInfo(path).fileName()),
                    double(QFileInfo(path).size()) / 1e6, inPlace, inPlaceChecked, safe,
                    method == ReplacementMethod::renamed ? "renamed" : "rewritten in place");
    }
    std::printf("\nreflink copies: %s\n", cloned ? "yes" : "no (full copies)");
    return 0;
}
