#pragma once

#include "Quire/ViewModels/DocumentTypes.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <functional>

// The document's work on many files that takes seconds (pictures decoded,
// encoded, read or written; files moved on disk): one piece at a time, off the
// GUI thread, with its progress for the status bar.
class WorkQueue : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isWorking READ isWorking NOTIFY isWorkingChanged)
    Q_PROPERTY(WorkProgress progress READ progress NOTIFY progressChanged)

public:
    using Completion = std::function<void()>;
    using ProgressReport = std::function<void(qint64 completed, qint64 total)>;
    // Runs on the pool, reporting its progress; the step it returns runs on this object's thread when
    // it is done, before the next piece starts.
    using Work = std::function<Completion(const ProgressReport& report)>;

    explicit WorkQueue(QObject* parent = nullptr);
    // Waits for the running piece; what it hands back is dropped.
    ~WorkQueue() override;

    bool isWorking() const { return m_isWorking; }
    WorkProgress progress() const { return m_progress; }

    // Runs `work` now, or after the work handed over before it.
    void start(Work work);

signals:
    void isWorkingChanged();
    void progressChanged();

private:
    void runNext();
    void setWorking(bool working);
    void setProgress(WorkProgress progress);

    bool m_isWorking = false;
    WorkProgress m_progress;
    QList<Work> m_queued;
    QThreadPool m_pool;
};
