// Drives the real window offscreen with a large library: how long the GUI
// thread is kept busy by an import (the longest lateness of a 10 ms timer,
// the final sort and the table's update included), and how long opening the
// window, scrolling, sorting by a header click, selecting all, editing, undoing
// and redoing one field of every file, and removing files take.
//
//   cadenza-window-benchmark [files=20000]
//
// Tags come from the file names (the document's mock reader), so that the
// figures are the window's and the document's, not TagLib's.

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/MainWindow/MainWindow.h"
#include "QuireTagHelper/TagHelper.h"

#include "BenchmarkSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

qint64 threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The longest single event delivered at the top level, and what it was.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth++ > 0) {
            const bool result = QApplication::notify(receiver, event);
            --m_depth;
            return result;
        }
        QElapsedTimer clock;
        clock.start();
        const qint64 cpuStart = threadCpuNanoseconds();
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        const qint64 spent = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNanoseconds() - cpuStart;
        if (cpu > longestCpu) {
            longestCpu = cpu;
            longestCpuWhat = QByteArray(receiver->metaObject()->className()) + " event " +
                             QByteArray::number(event->type()) + " at " + QByteArray::number(wall.elapsed()) +
                             " ms";
        }
        if (spent > longest) {
            longest = spent;
            longestWhat = QByteArray(receiver->metaObject()->className()) + " event " +
                          QByteArray::number(event->type());
        }
        return result;
    }
    QElapsedTimer wall;
    qint64 longest = 0;
    qint64 longestCpu = 0; // time the GUI thread itself spent, without waiting for a core
    QByteArray longestWhat;
    QByteArray longestCpuWhat;

private:
    int m_depth = 0;
};

// Runs the events the work caused, painting included; milliseconds taken.
double timed(const std::function<void()>& work, QWidget* toPaint) {
    QElapsedTimer clock;
    clock.start();
    work();
    QCoreApplication::processEvents();
    toPaint->repaint();
    return double(clock.nsecsElapsed()) / 1e6;
}

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    app.wall.start();
    const int count = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20000;

    QTemporaryDir folder;
    for (int i = 0; i < count; ++i) {
        // Numbered in a shuffled order, so that sorting has work to do.
        const quint32 key = QRandomGenerator::global()->bounded(1000000u);
        QFile(folder.filePath(
                  QStringLiteral("%1 - Song %2 %3.mp3").arg(i % 99 + 1).arg(key, 6, 10, QChar(u'0')).arg(i)))
            .open(QIODevice::WriteOnly);
    }

    DocumentViewModel document;
    document.setTagReader(std::make_shared<MockTagReader>());
    CommandCenter commands;
    // Which of the document's notifications keep the window busy longest.
    QElapsedTimer stamp;
    stamp.start();
    qint64 started = 0;
    QHash<QByteArray, qint64> slowest;
    const auto watch = [&](auto signal, const char* name, bool first) {
        if (first)
            QObject::connect(&document, signal, [&] { started = stamp.nsecsElapsed(); });
        else
            QObject::connect(&document, signal, [&, name] {
                slowest[name] = std::max(slowest.value(name), stamp.nsecsElapsed() - started);
            });
    };
    watch(&DocumentViewModel::filesChanged, "filesChanged", true);
    watch(&DocumentViewModel::selectedFilesChanged, "selectedFilesChanged", true);
    watch(&DocumentViewModel::isLoadingChanged, "isLoadingChanged", true);
    watch(&DocumentViewModel::importProgressChanged, "importProgressChanged", true);
    MainWindow window(&document, &commands);
    watch(&DocumentViewModel::filesChanged, "filesChanged", false);
    watch(&DocumentViewModel::selectedFilesChanged, "selectedFilesChanged", false);
    watch(&DocumentViewModel::isLoadingChanged, "isLoadingChanged", false);
    watch(&DocumentViewModel::importProgressChanged, "importProgressChanged", false);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    FileListView* list = window.fileList();

    LatenessProbe probe;
    QElapsedTimer importClock;
    importClock.start();
    probe.start();
    {
        QEventLoop loop;
        QObject::connect(&document, &DocumentViewModel::isLoadingChanged, &loop, [&] {
            if (!document.isLoading())
                loop.quit();
        });
        document.importFiles({QUrl::fromLocalFile(folder.path())});
        loop.exec();
    }
    std::printf("import ended at %lld ms on the application's clock\n",
                static_cast<long long>(app.wall.elapsed()));
    std::printf("worst at %.1f ms, import ended at %.1f ms; longest event %.1f ms (%s), longest on the CPU "
                "%.1f ms (%s)\n",
                probe.m_worstAt / 1e6, probe.elapsed() / 1e6, app.longest / 1e6, app.longestWhat.constData(),
                app.longestCpu / 1e6, app.longestCpuWhat.constData());
    const double importSeconds = double(importClock.nsecsElapsed()) / 1e9;
    for (auto it = slowest.begin(); it != slowest.end(); ++it)
        std::printf("  slowest %s handling: %.1f ms\n", it.key().constData(), it.value() / 1e6);
    settle(300); // the table's last update and paint
    const double importLateness = probe.stopMs();
    std::printf("import of %lld files: %.2f s, GUI thread late by at most %.1f ms\n",
                static_cast<long long>(document.files().size()), importSeconds, importLateness);

    double openMs = 0;
    {
        QElapsedTimer clock;
        clock.start();
        MainWindow second(&document, &commands);
        second.show();
        (void)QTest::qWaitForWindowExposed(&second);
        second.repaint();
        openMs = double(clock.nsecsElapsed()) / 1e6;
    }
    std::printf("opening a window on them:       %7.1f ms\n", openMs);

    double worstScroll = 0;
    QScrollBar* scroll = list->verticalScrollBar();
    for (int step = 0; step <= 20; ++step) {
        worstScroll = std::max(
            worstScroll, timed([&] { scroll->setValue(scroll->maximum() * step / 20); }, list->viewport()));
    }
    std::printf("scrolling, worst of 21 jumps:   %7.1f ms\n", worstScroll);

    QHeaderView* header = list->horizontalHeader();
    const auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 10, header->height() / 2));
    };
    const double sortTitle = timed([&] { clickHeader(2); }, list->viewport());
    const double sortTitleBack = timed([&] { clickHeader(2); }, list->viewport());
    const double sortDuration = timed([&] { clickHeader(6); }, list->viewport());
    std::printf(
        "sorting by a header click:      %7.1f ms (title), %.1f ms (title, reversed), %.1f ms (duration)\n",
        sortTitle, sortTitleBack, sortDuration);

    list->setFocus();
    const double selectAll = timed([&] { QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier); }, &window);
    const auto allSelected = static_cast<long long>(document.selectedFiles().size());
    const double selectOne = timed([&] { QTest::keyClick(list, Qt::Key_Home); }, &window);
    std::printf("selecting all (Ctrl+A):         %7.1f ms (%lld selected), back to one: %.1f ms\n", selectAll,
                allSelected, selectOne);

    const double editOne = timed(
        [&] { document.editField(TagField::title, QStringLiteral("Edited"), document.files()[10].id()); },
        &window);
    std::printf("editing one cell's value:       %7.1f ms\n", editOne);

    // The table follows the document's change events: none of these may reset it.
    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    QSet<QUuid> all;
    for (const AudioFile& file : document.files())
        all.insert(file.id());
    document.setSelectedFiles(all);
    settle(50);
    const double editAll =
        timed([&] { document.editField(TagField::genre, QStringLiteral("Jazz")); }, &window);
    const double undoAll = timed([&] { document.undo(); }, &window);
    const double redoAll = timed([&] { document.redo(); }, &window);
    std::printf("one field of all %lld files:   %7.1f ms (edit), %.1f ms (undo), %.1f ms (redo)\n",
                static_cast<long long>(all.size()), editAll, undoAll, redoAll);

    // Every twentieth file, then the list by another column.
    QSet<QUuid> spread;
    for (qsizetype i = 0; i < document.files().size() && spread.size() < 1000; i += 20)
        spread.insert(document.files()[i].id());
    document.setSelectedFiles(spread);
    settle(50);
    const double removeSpread = timed([&] { document.removeSelectedFromList(); }, &window);
    const double resort = timed([&] { clickHeader(2); }, list->viewport());
    std::printf(
        "removing %lld files:            %7.1f ms, then sorting by title %.1f ms (together %.1f ms)\n",
        static_cast<long long>(spread.size()), removeSpread, resort, removeSpread + resort);
    std::printf("table resets during these:      %lld\n", static_cast<long long>(resets.count()));
    return 0;
}
