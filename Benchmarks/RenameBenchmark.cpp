// Times undoing and redoing a rename from a pattern of many files, and how long
// the GUI thread is held meanwhile (the longest gap between the ticks of a 5 ms
// timer), beside the same moves made on the GUI thread itself:
//
//   cadenza-rename-benchmark [files=1000] [runs=5]
//
// Figures go to standard output with the machine they ran on.

#include "QuireCore/FileMover.h"

#include "BenchmarkSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// The longest time between two ticks of a 5 ms timer on this thread.
class GapProbe {
public:
    GapProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start() {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // Counts the time since the last tick too: work that ends the measurement is still a gap.
    double stopMs() {
        m_longest = std::max(m_longest, m_clock.nsecsElapsed() - m_last);
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

struct Run {
    double totalMs = 0;
    double longestGapMs = 0;
};

// Runs `start` (an undo or a redo) and the event loop until its completion.
Run timedStep(const std::function<bool(DocumentViewModel::StepCompletion)>& start) {
    GapProbe probe;
    std::optional<bool> applied;
    probe.start();
    QElapsedTimer timer;
    timer.start();
    if (!start([&applied](bool done) { applied = done; }))
        return {-1, -1};
    while (!applied)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double total = double(timer.nsecsElapsed()) / 1e6;
    return {*applied ? total : -1, probe.stopMs()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    startBenchmark(argc, argv);
    QGuiApplication app(argc, argv);
    const int fileCount = app.arguments().value(1, QStringLiteral("1000")).toInt();
    const int runs = app.arguments().value(2, QStringLiteral("5")).toInt();
    if (fileCount < 1 || runs < 1) {
        std::fprintf(stderr, "usage: cadenza-rename-benchmark [files] [runs]\n");
        return 2;
    }
    std::printf("%s, %d cores; %d files, median of %d runs\n", qPrintable(QSysInfo::prettyProductName()),
                QThread::idealThreadCount(), fileCount, runs);

    QTemporaryDir folder;
    if (!writeAudioCopies(folder, fileCount, QStringLiteral("track "), 5))
        return 1;

    DocumentViewModel document;
    if (!importAndWait(document, folder.path(), 120'000) || document.files().size() != fileCount) {
        std::fprintf(stderr, "the import did not finish\n");
        return 1;
    }
    QSet<QUuid> all;
    for (const AudioFile& file : document.files())
        all.insert(file.id());
    document.setSelectedFiles(all);
    document.tagOperations().tagsFromFilename(QStringLiteral("{title}"), {TagField::title});
    std::optional<int> renamed;
    document.renameFromPattern(
        QStringLiteral("{title} renamed"),
        [&renamed](const PatternRenameReport& report) { renamed = report.movedCount(); });
    while (!renamed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (*renamed != fileCount) {
        std::fprintf(stderr, "only %d files were renamed\n", *renamed);
        return 1;
    }

    std::vector<double> undoTotal, undoGap, redoTotal, redoGap, directTotal;
    for (int run = 0; run < runs; ++run) {
        const Run undo = timedStep([&](auto done) { return document.undo(done); });
        const Run redo = timedStep([&](auto done) { return document.redo(done); });
        if (undo.totalMs < 0 || redo.totalMs < 0) {
            std::fprintf(stderr, "an undo or redo failed\n");
            return 1;
        }
        undoTotal.push_back(undo.totalMs);
        undoGap.push_back(undo.longestGapMs);
        redoTotal.push_back(redo.totalMs);
        redoGap.push_back(redo.longestGapMs);

        // The same moves made on this thread, as an undo made them before they ran in the background.
        QList<FileMove> back, forth;
        for (const AudioFile& file : document.files()) {
            const QUrl original = QUrl::fromLocalFile(
                folder.filePath(file.filenameWithoutExtension().chopped(8) + QStringLiteral(".mp3")));
            back.append({file.id(), file.url(), original});
            forth.append({file.id(), original, file.url()});
        }
        FileMover mover;
        QElapsedTimer timer;
        timer.start();
        const bool moved = mover.moveTogether(back).ok();
        directTotal.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!moved || !mover.moveTogether(forth).ok()) {
            std::fprintf(stderr, "the moves on the GUI thread failed\n");
            return 1;
        }
    }
    std::printf("undo in the background   %7.1f ms, the GUI thread held at most %5.1f ms at a time\n",
                median(undoTotal), median(undoGap));
    std::printf("redo in the background   %7.1f ms, the GUI thread held at most %5.1f ms at a time\n",
                median(redoTotal), median(redoGap));
    std::printf("the moves on the GUI thread %4.1f ms, all of it holding the thread\n", median(directTotal));
    return 0;
}
