// Times what users do in a document of 100,000 files (albums of twelve), first
// with the document alone, then with the main window on it:
// selecting all and editing one field as the inspector does, sorting by each
// column, typing one more character into the filter, one undo and one redo
// step (of a one-file edit and of the all-files edit), and the GUI thread's
// longest stall while 10,000 modified files are saved.
//
//   cadenza-library-benchmark [--save-only] [--edit-only] [--open-only] [--cache FILE] [FOLDER]
//
// --save-only times the save with the window and nothing else, --edit-only the
// edit of every file on the document alone (both for profiling);
// --open-only the opening of FOLDER. With --cache the document keeps a read
// cache in FILE: a second run opens the folder from it.
//
// Given a folder (Benchmarks/make-library), the document opens it with the
// window shown and how soon the first rows show is timed too; the saves then
// write a comment into 10,000 of its files. Without one, the records are made
// from real reads of the fixtures (Tests/Fixtures/rich.*), copied with new
// ids, paths and tags, and the files saved are 10,000 copies of those fixtures
// in a temporary folder, opened beside them.

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/MainWindow/MainWindow.h"

#include "BenchmarkSupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int libraryFiles = 100'000;
constexpr int savedFiles = 10'000;
constexpr int tracksPerAlbum = 12;
const char* const extensions[] = {"mp3", "m4a", "flac", "wav", "aiff", "ogg", "opus", "dsf", "dff"};

QString loadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? QString::fromUtf8(load.readAll().trimmed()) : QString();
}

// The work, then the events it caused (the window's updates and paints).
double milliseconds(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

// The median of `runs` runs of `work`, each after `prepare`.
double median(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QCoreApplication::processEvents();
        times.push_back(milliseconds(work));
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

// The track of `number` as make-library names and tags it.
TagSet tagsOf(const TagSet& base, int number) {
    const int album = number / tracksPerAlbum;
    TagSet tags = base;
    tags.title = QStringLiteral("Title %1").arg(number);
    tags.artist = QStringLiteral("Artist %1").arg(album / 4);
    tags.album = QStringLiteral("Album %1").arg(album);
    tags.trackNumber = QString::number(number % tracksPerAlbum + 1);
    tags.trackTotal = QString::number(tracksPerAlbum);
    tags.discNumber.reset();
    tags.year = QString::number(1960 + album % 60);
    return tags;
}

QUrl urlOf(const QString& root, int number, const QString& extension) {
    const int album = number / tracksPerAlbum;
    return QUrl::fromLocalFile(QStringLiteral("%1/Artist %2/Album %3/%4 Title %5.%6")
                                   .arg(root)
                                   .arg(album / 4, 4, 10, QChar(u'0'))
                                   .arg(album, 4, 10, QChar(u'0'))
                                   .arg(number % tracksPerAlbum + 1, 2, 10, QChar(u'0'))
                                   .arg(number)
                                   .arg(extension));
}

// `count` records from real reads of the rich fixtures, from `first` on.
QList<AudioFile> madeRecords(const QList<AudioFile>& reads, int first, int count) {
    QList<AudioFile> files;
    files.reserve(count);
    for (int number = first; number < first + count; ++number) {
        const AudioFile& base = reads[number % reads.size()];
        files.append(AudioFile(
            QUuid::createUuid(),
            urlOf(QStringLiteral("/nonexistent/library"), number, base.url().fileName().section(u'.', -1)),
            base.format(), base.tagContainer(), base.properties(), tagsOf(base.tags(), number),
            base.artwork()));
    }
    return files;
}

// Opens the saved files: copies of the rich fixtures, named and tagged as make-library does.
bool writeSavedFiles(const QTemporaryDir& folder, int count) {
    for (int number = 0; number < count; ++number) {
        const QString extension = QString::fromLatin1(extensions[number % std::size(extensions)]);
        const QString path = urlOf(folder.path(), number, extension).toLocalFile();
        QDir().mkpath(QFileInfo(path).path());
        if (!QFile::copy(QStringLiteral(CADENZA_FIXTURES_DIR "/rich.") + extension, path))
            return false;
    }
    return true;
}

void waitUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Every timed operation, on the document as it stands (with whatever window observes it).
void timeOperations(DocumentViewModel& document, std::chrono::steady_clock::time_point& now) {
    const QUuid one = document.files()[document.files().size() / 3].id();
    const auto selectOne = [&] { document.setSelectedFiles({one}); };

    const double selectAll = median(5, selectOne, [&] { document.selectAll(); });
    int step = 0;
    const double editAll = median(
        5,
        [&] {
            now += std::chrono::seconds(2);
            document.selectAll();
        },
        [&] { document.editField(TagField::genre, QStringLiteral("Genre %1").arg(++step)); });
    const double undoAll = median(
        3, [] {}, [&] { document.undo(); });
    const double redoAll = median(
        3, [] {}, [&] { document.redo(); });
    std::printf("select all %.1f ms; one field of all %lld files: edit %.1f ms, undo %.1f ms, redo %.1f ms\n",
                selectAll, static_cast<long long>(document.selectedFiles().size()), editAll, undoAll,
                redoAll);

    const double editOne = median(
        11,
        [&] {
            now += std::chrono::seconds(2);
            selectOne();
        },
        [&] { document.editField(TagField::comment, QStringLiteral("Note %1").arg(++step)); });
    const double editCell = median(
        11, [] {}, [&] { document.editField(TagField::title, QStringLiteral("Cell %1").arg(++step), one); });
    const double undoOne = median(
        11, [] {}, [&] { document.undo(); });
    const double redoOne = median(
        11, [] {}, [&] { document.redo(); });
    std::printf("one file: inspector edit %.2f ms, cell edit %.2f ms, undo %.2f ms, redo %.2f ms\n", editOne,
                editCell, undoOne, redoOne);

    const struct {
        const char* name;
        SortKey key;
    } columns[] = {
        {"file name", SortKey::filename}, {"title", SortKey::title},     {"artist", SortKey::artist},
        {"album", SortKey::album},        {"track", SortKey::track},     {"duration", SortKey::duration},
        {"format", SortKey::format},      {"bitrate", SortKey::bitrate}, {"sample rate", SortKey::sampleRate},
        {"folder", SortKey::folder}};
    std::printf("sort by");
    double worstSort = 0;
    for (const auto& column : columns) {
        const double ms = milliseconds([&] {
            document.setSortOrder({{column.key, true}});
            document.sortFiles();
        });
        const double back = milliseconds([&] {
            document.setSortOrder({{column.key, false}});
            document.sortFiles();
        });
        worstSort = std::max({worstSort, ms, back});
        std::printf(" %s %.0f/%.0f", column.name, ms, back);
    }
    std::printf(" ms (ascending/descending); worst %.0f ms\n", worstSort);
    document.setSortOrder({{SortKey::filename, true}});
    document.sortFiles();

    // Typing "album 1234" into the filter, a character at a time.
    const QString typed = QStringLiteral("album 1234");
    std::printf("filter keystrokes:");
    double worstKey = 0;
    for (qsizetype length = 1; length <= typed.size(); ++length) {
        const double ms = milliseconds([&] { document.setFilterText(typed.left(length)); });
        worstKey = std::max(worstKey, ms);
        std::printf(" %.0f", ms);
    }
    const qsizetype shown = document.shownCount();
    const double clear = milliseconds([&] { document.setFilterText({}); });
    std::printf(" ms (last %lld shown); worst %.0f ms; cleared %.0f ms\n", static_cast<long long>(shown),
                worstKey, clear);
    // The edits above are undone, so that only the saves below modify files.
    while (document.history().canUndo() && document.modifiedCount() > 0)
        document.undo();
}

// Edits one field of `files` and saves every modified file; the longest the GUI thread is held meanwhile.
void timeSave(DocumentViewModel& document, const QSet<QUuid>& files, const QString& value) {
    document.setSelectedFiles(files);
    document.editField(TagField::comment, value);
    LatenessProbe probe;
    QElapsedTimer clock;
    clock.start();
    probe.start();
    document.saveAll();
    waitUntil([&] { return !document.isSaving(); });
    // The probe's next tick measures a hold at the very end of the save.
    QTest::qWait(50);
    const double stall = probe.stopMs();
    std::printf("save %lld modified files: %.1f s, GUI thread held at most %.1f ms (%.2f s in)%s\n",
                static_cast<long long>(files.size()), double(clock.nsecsElapsed()) / 1e9, stall,
                double(probe.m_worstAt) / 1e9, document.notices().all().isEmpty() ? "" : " (with failures)");
}

} // namespace

int main(int argc, char** argv) {
    startBenchmark(argc, argv);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    std::printf("machine: %s, %d cores, load %s\n", qPrintable(cpuName()), QThread::idealThreadCount(),
                qPrintable(loadAverage()));
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool saveOnly = arguments.removeAll(QStringLiteral("--save-only")) > 0;
    const bool openOnly = arguments.removeAll(QStringLiteral("--open-only")) > 0;
    const bool editOnly = arguments.removeAll(QStringLiteral("--edit-only")) > 0;
    QString cache;
    if (const qsizetype option = arguments.indexOf(QStringLiteral("--cache")); option >= 0) {
        cache = arguments.value(option + 1);
        arguments.remove(option, std::min<qsizetype>(2, arguments.size() - option));
    }
    const QString folder = arguments.value(0);

    DocumentViewModel document;
    document.setReadCachePath(cache);
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    document.history().setClock([&now] { return now; });
    CommandCenter commands;
    QSet<QUuid> toSave;
    QTemporaryDir copies;
    std::unique_ptr<MainWindow> window;

    if (!folder.isEmpty()) {
        // Opening the library with the window shown: when the first rows arrive, and whether rows
        // already shown keep their order as more come.
        window = std::make_unique<MainWindow>(&document, &commands);
        document.setReadCachePath(cache); // the window set the preferences' cache
        window->show();
        (void)QTest::qWaitForWindowExposed(window.get());
        QAbstractItemModel* rows = window->fileList()->model();
        QElapsedTimer clock;
        qint64 firstRows = -1;
        QObject::connect(rows, &QAbstractItemModel::rowsInserted, [&] {
            if (firstRows < 0) {
                window->fileList()->repaint();
                firstRows = clock.nsecsElapsed();
            }
        });
        // Files are read as the walk finds them: when the first were found, and when the last.
        qint64 firstFound = -1, allFound = -1, found = 0;
        QObject::connect(&document, &DocumentViewModel::importProgressChanged, [&] {
            if (document.importProgress().total == found)
                return;
            found = document.importProgress().total;
            allFound = clock.nsecsElapsed();
            if (firstFound < 0)
                firstFound = allFound;
        });
        LatenessProbe probe;
        clock.start();
        probe.start();
        importAndWait(document, folder, 3'600'000);
        const double importSeconds = double(clock.nsecsElapsed()) / 1e9;
        std::printf("open %lld files: first found after %.2f s, all found after %.2f s, first rows shown "
                    "after %.2f s, "
                    "all in %.1f s, GUI thread held at most %.1f ms\n",
                    static_cast<long long>(document.files().size()), double(firstFound) / 1e9,
                    double(allFound) / 1e9, double(firstRows) / 1e9, importSeconds, probe.stopMs());
        if (openOnly)
            return 0;
        for (qsizetype i = 0; i < document.files().size() && toSave.size() < savedFiles; i += 10)
            toSave.insert(document.files()[i].id());
        window.reset();
    } else {
        QList<AudioFile> reads;
        TagLibTagReader reader;
        for (const char* extension : extensions) {
            ReadResult read = reader.read(QUrl::fromLocalFile(QStringLiteral(CADENZA_FIXTURES_DIR "/rich.") +
                                                              QString::fromLatin1(extension)));
            if (!read) {
                std::fprintf(stderr, "cannot read the fixture rich.%s\n", extension);
                return 1;
            }
            reads.append(read.value());
        }
        if (!copies.isValid() || !writeSavedFiles(copies, savedFiles)) {
            std::fprintf(stderr, "cannot write the files to save\n");
            return 1;
        }
        importAndWait(document, copies.path(), 600'000);
        for (const AudioFile& file : document.files())
            toSave.insert(file.id());
        QList<AudioFile> files = document.files();
        files += madeRecords(reads, savedFiles, libraryFiles - savedFiles);
        document.commit({}, files, DocumentViewModel::UndoRecord::none);
        std::printf("%lld records: %lld opened from copies of the fixtures, the others made from reads of "
                    "them\n",
                    static_cast<long long>(document.files().size()), static_cast<long long>(toSave.size()));
    }
    const QString value = QStringLiteral("Saved at %1").arg(QDateTime::currentMSecsSinceEpoch());

    if (editOnly) {
        // For profiling: select all and one field of every file, again and again, on the document alone.
        int step = 0;
        std::vector<double> cpu;
        const double editAll = median(
            15,
            [&] {
                now += std::chrono::seconds(2);
                document.selectAll();
            },
            [&] {
                timespec start{}, end{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
                document.editField(TagField::genre, QStringLiteral("Genre %1").arg(++step));
                QCoreApplication::processEvents();
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
                cpu.push_back(double(end.tv_sec - start.tv_sec) * 1e3 +
                              double(end.tv_nsec - start.tv_nsec) / 1e6);
            });
        std::nth_element(cpu.begin(), cpu.begin() + cpu.size() / 2, cpu.end());
        std::printf(
            "one field of all %lld files: edit %.1f ms (median of 15), its thread's CPU time %.1f ms\n",
            static_cast<long long>(document.selectedFiles().size()), editAll, cpu[cpu.size() / 2]);
        return 0;
    }
    if (!saveOnly) {
        std::printf("-- the document alone\n");
        timeOperations(document, now);
        timeSave(document, toSave, value + QStringLiteral(" (document)"));
    }

    std::printf("-- with the main window\n");
    window = std::make_unique<MainWindow>(&document, &commands);
    window->show();
    (void)QTest::qWaitForWindowExposed(window.get());
    if (!saveOnly)
        timeOperations(document, now);
    timeSave(document, toSave, value + QStringLiteral(" (window)"));
    return 0;
}
