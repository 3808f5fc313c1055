// Imports a generated library (Benchmarks/make-library) through the document,
// as the editor does, and times what users do with a large library:
//
//   cadenza-import-benchmark FOLDER
//
// 1. import: wall time, files per second, peak and final resident memory; and
//    the floor, the same files read by a plain loop over ctaglib_read with 8
//    threads in this process (after the import, so it does not count in the peak);
//    then the read cache: an import that fills a new one, the time its stores
//    take to be written, opening it (with its checks), and imports that take
//    every file from it;
// 2. undo: time and memory of one recorded step, memory after 200 edits of
//    the whole library, and the journal of those unsaved edits (time on the
//    GUI thread, size);
// 3. editing at scale: one edit with every file selected, a sort by title,
//    counting matches, tags from file names, and saving 1,000 changed titles
//    beside a plain loop over ctaglib_write of the same titles.
// Figures go to standard output with the machine they ran on.

#include "CTagLibBridge.h"
#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ReadCache.h"
#include "Quire/ViewModels/UnsavedJournal.h"

#include "BenchmarkSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

// Resident memory from /proc: "VmRSS" now, "VmHWM" the peak, in MB.
double residentMegabytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

double milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The plain loop the import is measured against: every file read once by the
// bridge in this process, eight at a time.
double floorMilliseconds(const QStringList& paths) {
    std::atomic<qsizetype> next{0};
    return milliseconds([&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                for (qsizetype i = next++; i < paths.size(); i = next++)
                    ctaglib_free_result(ctaglib_read(QFile::encodeName(paths[i]).constData()));
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    });
}

void waitForSave(DocumentViewModel& document) {
    QEventLoop loop;
    QObject::connect(&document, &DocumentViewModel::isSavingChanged, &loop, [&] {
        if (!document.isSaving())
            loop.quit();
    });
    if (document.isSaving())
        loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    startBenchmark(argc, argv);
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cadenza-import-benchmark FOLDER (made by Benchmarks/make-library)\n");
        return 2;
    }
    const QString folder = QFile::decodeName(argv[1]);
    QStringList paths;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (!QFileInfo(path).fileName().startsWith(u'.'))
            paths.append(path);
    }
    std::printf("machine: %s, %d cores, %s; %lld files in %s\n", qPrintable(cpuName()),
                QThread::idealThreadCount(), qPrintable(QSysInfo::prettyProductName()),
                static_cast<long long>(paths.size()), argv[1]);

    // 1. Import.
    const double before = residentMegabytes("VmRSS:");
    DocumentViewModel document;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    document.history().setClock([&now] { return now; });
    bool finished = false;
    const double importMs = milliseconds([&] { finished = importAndWait(document, folder, 3'600'000); });
    if (!finished || document.files().size() != paths.size()) {
        std::fprintf(stderr, "import: %lld of %lld files read\n",
                     static_cast<long long>(document.files().size()), static_cast<long long>(paths.size()));
        return 1;
    }
    const double peak = residentMegabytes("VmHWM:");
    const double after = residentMegabytes("VmRSS:");
    const double files = static_cast<double>(paths.size());
    std::printf("import              %9.0f ms  %7.0f files/s  peak %6.0f MB  after %6.0f MB (%.1f KB a file, "
                "%.0f MB before; helpers starting)\n",
                importMs, files / importMs * 1000, peak, after, (after - before) * 1024 / files, before);
    // The machine's speed drifts from run to run: the import again and the
    // floor take turns, and the medians are compared.
    std::vector<double> againMs, floorMs;
    for (int round = 0; round < 3; ++round) {
        floorMs.push_back(floorMilliseconds(paths));
        DocumentViewModel again;
        againMs.push_back(milliseconds([&] { importAndWait(again, folder, 3'600'000); }));
    }
    std::sort(againMs.begin(), againMs.end());
    std::sort(floorMs.begin(), floorMs.end());
    std::printf("import again (median of 3) %6.0f ms  %7.0f files/s\n", againMs[1],
                files / againMs[1] * 1000);
    std::printf("floor (ctaglib_read, 8 threads, median of 3) %6.0f ms  %7.0f files/s  import at %.0f%% of "
                "the floor (first import %.0f%%)\n",
                floorMs[1], files / floorMs[1] * 1000, floorMs[1] / againMs[1] * 100,
                floorMs[1] / importMs * 100);

    // The read cache, in a folder of its own: one import fills it, the next take every file from it.
    {
        QTemporaryDir cacheFolder;
        const QString cachePath = cacheFolder.filePath(QStringLiteral("read-cache.sqlite"));
        auto filling = std::make_unique<DocumentViewModel>();
        filling->setReadCachePath(cachePath);
        const double fillMs = milliseconds([&] { importAndWait(*filling, folder, 3'600'000); });
        // Going, the document waits for the stores still queued.
        const double storesMs = milliseconds([&] { filling.reset(); });
        std::printf(
            "import filling the read cache %6.0f ms, its stores written %.0f ms later; cache %.1f MB\n",
            fillMs, storesMs, static_cast<double>(QFileInfo(cachePath).size()) / 1e6);
        const double openMs = milliseconds([&] {
            ReadCache cache(cachePath);
            ReadCache::Lookup lookup(cache);
        });
        std::vector<double> cachedMs;
        qint64 fromCache = 0;
        for (int round = 0; round < 3; ++round) {
            DocumentViewModel cached;
            cached.setReadCachePath(cachePath);
            cachedMs.push_back(milliseconds([&] { importAndWait(cached, folder, 3'600'000); }));
            fromCache = cached.importProgress().fromCache;
        }
        std::sort(cachedMs.begin(), cachedMs.end());
        std::printf(
            "import from the read cache (median of 3) %6.0f ms  %7.0f files/s  (%lld of %lld files from "
            "it; opening it with its checks %.0f ms)\n",
            cachedMs[1], files / cachedMs[1] * 1000, static_cast<long long>(fromCache),
            static_cast<long long>(paths.size()), openMs);
    }

    // 2. Undo.
    QSet<QUuid> all;
    for (const AudioFile& file : document.files())
        all.insert(file.id());
    // One edit of one file, each its own step: the median of 21, and the memory they added together.
    const QUuid first = document.files().first().id();
    const double stepBefore = residentMegabytes("VmRSS:");
    std::vector<double> stepMs;
    for (int step = 0; step < 21; ++step) {
        now += std::chrono::seconds(2);
        stepMs.push_back(milliseconds(
            [&] { document.editField(TagField::comment, QStringLiteral("x%1").arg(step), first); }));
    }
    std::nth_element(stepMs.begin(), stepMs.begin() + 10, stepMs.end());
    std::printf("one undo step       %9.2f ms  %+7.1f KB (median of 21; memory of all 21 / 21)\n", stepMs[10],
                (residentMegabytes("VmRSS:") - stepBefore) * 1024 / 21);
    document.setSelectedFiles(all);
    const double editsBefore = residentMegabytes("VmRSS:");
    double firstEditMs = 0;
    for (int edit = 0; edit < 200; ++edit) {
        now += std::chrono::seconds(2); // each its own step
        const double ms =
            milliseconds([&] { document.editField(TagField::comment, QStringLiteral("Edit %1").arg(edit)); });
        if (edit == 0)
            firstEditMs = ms;
    }
    std::printf("one edit, all files selected %6.0f ms; 200 such edits %+7.0f MB\n", firstEditMs,
                residentMegabytes("VmRSS:") - editsBefore);

    // The journal of that unsaved work: every file holds one changed field.
    {
        QTemporaryDir journalFolder;
        UnsavedJournal journal(document, journalFolder.path());
        const double onGuiThreadMs = milliseconds([&] { journal.writeNow(); });
        const double writtenMs = milliseconds([&] { journal.flush(); });
        std::printf("journal of %lld unsaved files: %.1f ms on the GUI thread, written in %.0f ms, %.2f MB\n",
                    static_cast<long long>(document.modifiedCount()), onGuiThreadMs, writtenMs,
                    static_cast<double>(QFileInfo(journal.path()).size()) / 1e6);
    }

    // 3. Editing at scale.
    document.setSortOrder({{SortKey::title, true}});
    const double sortMs = milliseconds([&] { document.sortFiles(); });
    int matches = 0;
    const double countMs = milliseconds([&] {
        matches = document.tagOperations().countFindMatches(QStringLiteral("Title"), false, false,
                                                            {TagField::title}, true);
    });
    const double fromNamesMs = milliseconds([&] {
        document.tagOperations().tagsFromFilename(QStringLiteral("{trackNumber} {title}"),
                                                  {TagField::trackNumber, TagField::title});
    });
    std::printf("sort by title %6.0f ms; count matches %6.0f ms (%d); tags from file names %6.0f ms\n",
                sortMs, countMs, matches, fromNamesMs);

    // Saving works on copies, so that the library stays as it was made.
    QTemporaryDir copies;
    QStringList saved;
    for (const QString& path : paths.mid(0, 1000)) {
        saved.append(copies.filePath(QString::number(saved.size()) + u'.' + QFileInfo(path).suffix()));
        QFile::copy(path, saved.last());
    }
    DocumentViewModel saving;
    importAndWait(saving, copies.path(), 600'000);
    QSet<QUuid> savingIds;
    for (const AudioFile& file : saving.files())
        savingIds.insert(file.id());
    saving.setSelectedFiles(savingIds);
    saving.editField(TagField::title, QStringLiteral("Saved title"));
    const double saveMs = milliseconds([&] {
        saving.saveAll();
        waitForSave(saving);
    });
    const double plainMs = milliseconds([&] {
        CTagLibTagValues values{};
        values.title = "Plain title";
        for (const QString& path : std::as_const(saved))
            ctaglib_write_fields(QFile::encodeName(path).constData(), &values, CTAGLIB_FIELD_TITLE, nullptr,
                                 -1);
    });
    std::printf("save %lld changed titles %6.0f ms%s; plain ctaglib_write loop in place %6.0f ms\n",
                static_cast<long long>(savingIds.size()), saveMs,
                !saving.notices().all().isEmpty() ? " (with failures)" : "", plainMs);

    // 4. Batch work on the same 1,000 files. Renaming holds the thread that
    // owns the document; the artwork work runs in the background, and the
    // longest the thread is held meanwhile is what counts.
    const QString pictureFolder = copies.filePath(QStringLiteral("pictures"));
    QDir().mkpath(pictureFolder);
    const auto background = [&](const char* what,
                                const std::function<void(std::function<void(int)>)>& start) {
        std::optional<int> count;
        LatenessProbe stall;
        stall.start();
        const double ms = milliseconds([&] {
            start([&count](int n) { count = n; });
            while (!count)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        std::printf("%-20s %6.0f ms (%d), the thread held at most %.0f ms at a time\n", what, ms, *count,
                    stall.stopMs());
    };
    background("export all artwork", [&](auto done) {
        saving.artworkOperations().batchExportAllArtwork(QUrl::fromLocalFile(pictureFolder), done);
    });
    // Before the import below, which gives every album the same picture again.
    background("optimise artwork",
               [&](auto done) { saving.artworkOperations().optimizeArtwork(300, 0.8, [done] { done(0); }); });
    // Named by their files' stems, so that importing them back matches every file.
    for (const QFileInfo& picture : QDir(pictureFolder).entryInfoList(QDir::Files))
        QFile::rename(picture.filePath(),
                      picture.path() + u'/' +
                          picture.fileName().replace(QStringLiteral("-artwork"), QString()));
    background("import artwork", [&](auto done) {
        saving.artworkOperations().batchImportArtwork(QUrl::fromLocalFile(pictureFolder), done);
    });
    background("rename from pattern", [&](auto done) {
        if (!saving.renameFromPattern(
                QStringLiteral("{album} {trackNumber} {title}"),
                [done](const PatternRenameReport& report) { done(report.movedCount()); }))
            done(0);
    });
    return 0;
}
