// Times reading tags in this process against reading them in helper processes:
// whole imports through the document (eight reads at a time), and single reads
// one after another (the round trip each call adds).
//
//   cadenza-read-benchmark [files=1000] [rounds=3]

#include "Quire/ViewModels/DocumentViewModel.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireTagHelper/InProcessTagLibAccess.h"

#include "BenchmarkSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Tagged files of four formats, two of them with pictures.
const char* const fixtures[] = {"tagged.mp3", "pictures.flac", "tagged.m4a", "tagged.ogg", "pictures.mp3"};

class AccessReader final : public TagReader {
public:
    explicit AccessReader(const TagLibAccess& access)
        : m_access(access) {}
    ReadResult read(const QUrl& url) const override {
        return readTags(m_access, url, PictureContent::descriptions);
    }
    PicturesResult readPictures(const QUrl& url) const override {
        ReadResult read = readTags(m_access, url, PictureContent::bytes);
        if (!read)
            return read.error();
        return read.value().artwork();
    }

private:
    const TagLibAccess& m_access;
};

double secondsFor(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Imports the folder into a fresh document; the number of files read.
qsizetype importFolder(const TagLibAccess& access, const QString& folder) {
    DocumentViewModel document;
    document.setTagReader(std::make_shared<AccessReader>(access));
    importAndWait(document, folder, 600'000);
    return document.files().size();
}

void report(const char* label, std::vector<double> seconds, int files) {
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("%-44s best %7.3f s  median %7.3f s  %8.0f files/s (median)\n", label, seconds.front(),
                median, files / median);
}

} // namespace

int main(int argc, char** argv) {
    startBenchmark(argc, argv);
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int files = arguments.size() > 1 ? arguments[1].toInt() : 1000;
    const int rounds = arguments.size() > 2 ? arguments[2].toInt() : 3;
    if (files <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: cadenza-read-benchmark [files=1000] [rounds=3]\n");
        return 2;
    }

    QTemporaryDir folder;
    QList<QUrl> locations;
    for (int i = 0; i < files; ++i) {
        const QString fixture = QString::fromLatin1(fixtures[i % std::size(fixtures)]);
        const QString copy = folder.filePath(QStringLiteral("%1-%2").arg(i, 5, 10, QChar(u'0')).arg(fixture));
        if (!QFile::copy(QStringLiteral(CADENZA_FIXTURES_DIR "/") + fixture, copy)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(fixture));
            return 1;
        }
        locations.append(QUrl::fromLocalFile(copy));
    }

    const InProcessTagLibAccess inProcess;
    IsolatedTagLibAccess isolated;
    importFolder(inProcess, folder.path()); // page cache and lazy initialisation
    importFolder(isolated, folder.path());  // helpers started

    std::vector<double> inProcessImport, warmImport, coldImport, inProcessSingle, isolatedSingle;
    for (int round = 0; round < rounds; ++round) {
        qsizetype read = 0;
        inProcessImport.push_back(secondsFor([&] { read = importFolder(inProcess, folder.path()); }));
        warmImport.push_back(secondsFor([&] { read += importFolder(isolated, folder.path()); }));
        coldImport.push_back(secondsFor([&] {
            IsolatedTagLibAccess fresh; // every helper started within the import, and ended after it
            read += importFolder(fresh, folder.path());
        }));
        if (read != 3 * qsizetype{files}) {
            std::fprintf(stderr, "only %lld of %d files read\n", static_cast<long long>(read), 3 * files);
            return 1;
        }
        inProcessSingle.push_back(secondsFor([&] {
            for (const QUrl& location : std::as_const(locations))
                (void)readTags(inProcess, location, PictureContent::descriptions);
        }));
        isolatedSingle.push_back(secondsFor([&] {
            for (const QUrl& location : std::as_const(locations))
                (void)readTags(isolated, location, PictureContent::descriptions);
        }));
    }

    std::printf("%d files (%d fixtures round-robin), %d rounds\n", files,
                static_cast<int>(std::size(fixtures)), rounds);
    report("import, in process", inProcessImport, files);
    report("import, helpers already running", warmImport, files);
    report("import, helpers started during the import", coldImport, files);
    report("one read after another, in process", inProcessSingle, files);
    report("one read after another, in a helper", isolatedSingle, files);
    return 0;
}
