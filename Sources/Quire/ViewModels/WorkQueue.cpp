#include "Quire/ViewModels/WorkQueue.h"

#include "Quire/ViewModels/ThreadCheck.h"

#include <QMetaObject>

WorkQueue::WorkQueue(QObject* parent)
    : QObject(parent) {
    m_pool.setMaxThreadCount(1);
}

WorkQueue::~WorkQueue() {
    m_pool.waitForDone();
}

void WorkQueue::start(Work work) {
    ASSERT_GUI_THREAD();
    m_queued.append(std::move(work));
    if (!m_isWorking)
        runNext();
}

// The pool waits for its work before this object goes, so the work may post
// here; posts to an object that is going are dropped.
void WorkQueue::runNext() {
    if (m_queued.isEmpty()) {
        setWorking(false);
        return;
    }
    setProgress({});
    setWorking(true);
    m_pool.start([this, work = m_queued.takeFirst()] {
        const ProgressReport report = [this](qint64 completed, qint64 total) {
            QMetaObject::invokeMethod(
                this,
                [this, completed, total] {
                    setProgress({total, completed});
                },
                Qt::QueuedConnection);
        };
        Completion finish = work(report);
        QMetaObject::invokeMethod(
            this,
            [this, finish = std::move(finish)] {
                finish();
                runNext();
            },
            Qt::QueuedConnection);
    });
}

void WorkQueue::setWorking(bool working) {
    if (m_isWorking == working)
        return;
    m_isWorking = working;
    emit isWorkingChanged();
}

void WorkQueue::setProgress(WorkProgress progress) {
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}
