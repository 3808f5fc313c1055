#pragma once

#include "Quire/ViewModels/DocumentViewModel.h"
#include "QuireTagHelper/TagHelper.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

// The processor's name as /proc/cpuinfo gives it, for the figures' machine line.
inline QString cpuName() {
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("unknown CPU");
}

// The start of every benchmark's main(), before its application object: serve
// as a tag helper when started as one, and draw offscreen unless told otherwise.
inline void startBenchmark(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Imports a folder into the document and runs the event loop until the import
// has ended or `timeoutMs` has passed; whether it ended.
inline bool importAndWait(DocumentViewModel& document, const QString& folder, int timeoutMs) {
    QEventLoop loop;
    QObject::connect(&document, &DocumentViewModel::isLoadingChanged, &loop, [&] {
        if (!document.isLoading())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    document.importFiles({QUrl::fromLocalFile(folder)});
    if (document.isLoading())
        loop.exec();
    return !document.isLoading();
}

// Measures how late a 10 ms timer fires while the GUI thread works.
class LatenessProbe {
public:
    LatenessProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_last - 10'000'000 > m_worst) {
                m_worst = now - m_last - 10'000'000;
                m_worstAt = now;
            }
            m_last = now;
        });
    }
    void start() {
        m_worst = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stopMs() {
        m_timer.stop();
        return double(m_worst) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;

public:
    qint64 m_worstAt = 0;
    qint64 elapsed() const { return m_clock.nsecsElapsed(); }
};

#ifdef CADENZA_FIXTURES_DIR
// Fills `folder` with `count` copies of the untagged MP3 fixture, named
// `prefix` and a zero-padded number of `width` digits; says why when it cannot.
inline bool writeAudioCopies(const QTemporaryDir& folder, int count, const QString& prefix, int width) {
    QFile fixture(QStringLiteral(CADENZA_FIXTURES_DIR "/untagged.mp3"));
    if (!folder.isValid() || !fixture.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot prepare the audio files\n");
        return false;
    }
    const QByteArray audio = fixture.readAll();
    for (int i = 0; i < count; ++i) {
        QFile copy(folder.filePath(prefix + QStringLiteral("%1.mp3").arg(i, width, 10, QLatin1Char('0'))));
        if (!copy.open(QIODevice::WriteOnly) || copy.write(audio) != audio.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(copy.fileName()));
            return false;
        }
    }
    return true;
}
#endif
