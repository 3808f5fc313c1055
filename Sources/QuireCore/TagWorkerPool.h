// The helper processes behind IsolatedTagLibAccess. Internal to QuireCore.
#pragma once

#include "QuireCore/TagWorkerProtocol.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

enum class WorkerFailure {
    couldNotStart, // the helper process could not be started
    crashed,       // it ended, or its reply was cut short or malformed
    timedOut,      // no complete reply within the time limit
};

// "could not be started", "stopped unexpectedly", "ran out of time": for warnings.
const char* failureName(WorkerFailure failure);

// Helpers started from /proc/self/exe, handed out one call at a time. Safe to
// use from any number of threads.
//
// SIGPIPE: a helper that died leaves a pipe without reader, and writing to it
// would raise SIGPIPE, which ends the program by default. Pipes have no
// MSG_NOSIGNAL, and ignoring SIGPIPE process-wide would change how the
// command line behaves on a closed standard output, so each request write
// blocks SIGPIPE on the calling thread only and consumes the signal it raised.
//
// Helpers die with the program: they ask for SIGKILL when their parent goes
// (PR_SET_PDEATHSIG), and exit when their input ends. Because that signal
// follows the thread that started the process rather than the process, all
// helpers are started from one thread the pool owns for its whole life, never
// from the short-lived threads of a thread pool.
class TagWorkerPool {
public:
    explicit TagWorkerPool(int maxIdleWorkers);
    ~TagWorkerPool();

    // Sends one request frame and waits for one reply frame, both within the
    // limit. `accept` checks the reply payload; when it refuses it, the call
    // fails as crashed. On every failure the helper is killed and reaped.
    std::optional<WorkerFailure> exchange(std::string_view requestFrame, std::chrono::milliseconds limit,
                                          const std::function<bool(std::string_view)>& accept);
    // The same, with the pictures this helper has sent before (see
    // TagWorkerProtocol::ReceivedPictures) for `accept` to read and fill.
    std::optional<WorkerFailure>
    exchange(std::string_view requestFrame, std::chrono::milliseconds limit,
             const std::function<bool(std::string_view, TagWorkerProtocol::ReceivedPictures&)>& accept);

    // Closes the idle helpers' input, so they exit, and waits briefly for
    // them; later calls fail with couldNotStart. Idempotent.
    void shutDown();

    int workersStarted() const;
    int workersKilled() const;

private:
    struct Worker {
        pid_t pid = -1;
        int toWorker = -1;
        int fromWorker = -1;
        TagWorkerProtocol::ReceivedPictures pictures;
        // A thread gets back the helper it used last when that one is idle,
        // so that files read one after another (an album's tracks) share its
        // pictures.
        std::thread::id lastUser;
    };

    std::unique_ptr<Worker> acquire();
    void release(std::unique_ptr<Worker> worker);
    std::unique_ptr<Worker> spawnOnSpawnerThread();
    void kill(std::unique_ptr<Worker> worker);
    static std::unique_ptr<Worker> spawn();
    static void retire(std::unique_ptr<Worker> worker);
    static void closeAndReap(Worker& worker);

    void runSpawner();

    const int m_maxIdle;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<Worker>> m_idle;
    bool m_shutDown = false;
    int m_started = 0;
    int m_killed = 0;

    // The spawner thread and its queue of start requests.
    std::mutex m_spawnMutex;
    std::condition_variable m_spawnWake;
    std::deque<std::function<void()>> m_spawnQueue;
    bool m_spawnerStopping = false;
    std::thread m_spawner;
};
