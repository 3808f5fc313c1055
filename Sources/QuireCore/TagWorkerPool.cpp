#include "QuireCore/TagWorkerPool.h"

#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerProtocol.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::atomic<bool> entryCalled{false};

using Clock = std::chrono::steady_clock;

// How long an idle helper gets to exit on its own once its input is closed.
constexpr std::chrono::seconds retireGrace{2};
// How long a new helper gets to say it is ready, apart from any request's limit.
constexpr std::chrono::seconds startLimit{20};

enum class Io { done, closed, timedOut };

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Waits until the descriptor is ready (or hung up); timedOut once the deadline passed.
Io waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, millisecondsUntil(deadline));
        if (ready > 0)
            return Io::done;
        if (ready < 0 && errno != EINTR)
            return Io::closed;
        if (ready == 0 && Clock::now() >= deadline)
            return Io::timedOut;
    }
}

// Blocks SIGPIPE on this thread while it lives; consumeRaised() takes back a
// SIGPIPE our own write raised, so it is never delivered once unblocked.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~PipeSignalBlock() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

    void consumeRaised() {
        if (m_wasPending)
            return; // not ours to take
        const timespec now{};
        while (sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
};

Io writeAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    PipeSignalBlock block;
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const Io waited = waitFor(fd, POLLOUT, deadline); waited != Io::done)
                return waited;
            continue;
        }
        if (count < 0 && errno == EPIPE)
            block.consumeRaised();
        return Io::closed;
    }
    return Io::done;
}

// Appends exactly `size` bytes. Grows with what arrives rather than trusting
// the announced size up front.
Io readExactly(int fd, std::string& out, size_t size, Clock::time_point deadline) {
    char chunk[64 * 1024];
    while (size > 0) {
        const ssize_t count = ::read(fd, chunk, std::min(size, sizeof chunk));
        if (count > 0) {
            out.append(chunk, static_cast<size_t>(count));
            size -= static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const Io waited = waitFor(fd, POLLIN, deadline); waited != Io::done)
                return waited;
            continue;
        }
        return Io::closed;
    }
    return Io::done;
}

std::optional<WorkerFailure> failureOf(Io io) {
    switch (io) {
    case Io::done:
        return std::nullopt;
    case Io::closed:
        return WorkerFailure::crashed;
    case Io::timedOut:
        return WorkerFailure::timedOut;
    }
    return WorkerFailure::crashed;
}

// Moves a descriptor to 3 or above: a child end that already sat on 0 or 1
// would stay close-on-exec through the spawn's dup2 onto itself.
bool moveAboveStandardStreams(int& fd) {
    if (fd > STDERR_FILENO)
        return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    fd = moved;
    return moved >= 0;
}

void closeIfOpen(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

const char* failureName(WorkerFailure failure) {
    switch (failure) {
    case WorkerFailure::couldNotStart:
        return "could not be started";
    case WorkerFailure::crashed:
        return "stopped unexpectedly";
    case WorkerFailure::timedOut:
        return "ran out of time";
    }
    return "failed";
}

TagWorkerPool::TagWorkerPool(int maxIdleWorkers)
    : m_maxIdle(std::max(0, maxIdleWorkers))
    , m_spawner([this] { runSpawner(); }) {}

TagWorkerPool::~TagWorkerPool() {
    shutDown();
}

std::optional<WorkerFailure> TagWorkerPool::exchange(std::string_view requestFrame,
                                                     std::chrono::milliseconds limit,
                                                     const std::function<bool(std::string_view)>& accept) {
    return exchange(requestFrame, limit,
                    [&accept](std::string_view payload, TagWorkerProtocol::ReceivedPictures&) {
                        return accept(payload);
                    });
}

std::optional<WorkerFailure> TagWorkerPool::exchange(
    std::string_view requestFrame, std::chrono::milliseconds limit,
    const std::function<bool(std::string_view, TagWorkerProtocol::ReceivedPictures&)>& accept) {
    std::unique_ptr<Worker> worker = acquire();
    if (!worker)
        return WorkerFailure::couldNotStart;
    // The limit is the request's own: waiting for a helper to start is not
    // the file's doing.
    const Clock::time_point deadline = Clock::now() + limit;
    worker->lastUser = std::this_thread::get_id();

    const auto transact = [&]() -> std::optional<WorkerFailure> {
        if (auto failure = failureOf(writeAll(worker->toWorker, requestFrame, deadline)))
            return failure;
        std::string header;
        if (auto failure = failureOf(
                readExactly(worker->fromWorker, header, TagWorkerProtocol::frameHeaderSize, deadline)))
            return failure;
        const auto size = TagWorkerProtocol::decodeFrameHeader(header);
        if (!size)
            return WorkerFailure::crashed;
        std::string payload;
        payload.reserve(std::min<size_t>(size.value(), 1 << 20));
        if (auto failure = failureOf(readExactly(worker->fromWorker, payload, size.value(), deadline)))
            return failure;
        if (!accept(payload, worker->pictures))
            return WorkerFailure::crashed;
        return std::nullopt;
    };
    const std::optional<WorkerFailure> failure = transact();
    if (failure)
        kill(std::move(worker));
    else
        release(std::move(worker));
    return failure;
}

std::unique_ptr<TagWorkerPool::Worker> TagWorkerPool::acquire() {
    for (;;) {
        std::unique_ptr<Worker> worker;
        {
            const std::lock_guard lock(m_mutex);
            if (m_shutDown)
                return nullptr;
            if (m_idle.empty())
                break;
            const auto mine = std::find_if(m_idle.begin(), m_idle.end(), [](const auto& idle) {
                return idle->lastUser == std::this_thread::get_id();
            });
            const auto taken = mine != m_idle.end() ? mine : m_idle.end() - 1;
            worker = std::move(*taken);
            m_idle.erase(taken);
        }
        // An idle helper has nothing to say; readable means it died (or misbehaves).
        pollfd entry{worker->fromWorker, POLLIN, 0};
        if (poll(&entry, 1, 0) == 0)
            return worker;
        kill(std::move(worker));
    }
    std::unique_ptr<Worker> worker = spawnOnSpawnerThread();
    if (!worker)
        return nullptr;
    {
        const std::lock_guard lock(m_mutex);
        ++m_started;
    }
    // Waited for here, not on the spawner thread, so that helpers start side by side.
    std::string ready;
    if (readExactly(worker->fromWorker, ready, 1, Clock::now() + startLimit) != Io::done ||
        ready[0] != TagWorkerProtocol::readySignal) {
        kill(std::move(worker));
        return nullptr;
    }
    return worker;
}

void TagWorkerPool::release(std::unique_ptr<Worker> worker) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_shutDown && m_idle.size() < static_cast<size_t>(m_maxIdle)) {
            m_idle.push_back(std::move(worker));
            return;
        }
    }
    retire(std::move(worker));
}

void TagWorkerPool::kill(std::unique_ptr<Worker> worker) {
    ::kill(worker->pid, SIGKILL);
    closeAndReap(*worker);
    const std::lock_guard lock(m_mutex);
    ++m_killed;
}

void TagWorkerPool::closeAndReap(Worker& worker) {
    closeIfOpen(worker.toWorker);
    closeIfOpen(worker.fromWorker);
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void TagWorkerPool::retire(std::unique_ptr<Worker> worker) {
    // End of input is the helper's signal to exit; its output then ends too.
    closeIfOpen(worker->toWorker);
    const Clock::time_point deadline = Clock::now() + retireGrace;
    std::string discarded;
    for (;;) {
        discarded.clear();
        const Io io = readExactly(worker->fromWorker, discarded, 4096, deadline);
        if (io == Io::closed)
            break;
        if (io == Io::timedOut) {
            ::kill(worker->pid, SIGKILL);
            break;
        }
    }
    closeAndReap(*worker);
}

void TagWorkerPool::shutDown() {
    std::vector<std::unique_ptr<Worker>> idle;
    {
        const std::lock_guard lock(m_mutex);
        if (m_shutDown)
            return;
        m_shutDown = true;
        idle.swap(m_idle);
    }
    // Close every input first so the helpers exit side by side.
    for (const auto& worker : idle)
        closeIfOpen(worker->toWorker);
    for (auto& worker : idle)
        retire(std::move(worker));
    {
        const std::lock_guard lock(m_spawnMutex);
        m_spawnerStopping = true;
    }
    m_spawnWake.notify_all();
    if (m_spawner.joinable())
        m_spawner.join();
}

int TagWorkerPool::workersStarted() const {
    const std::lock_guard lock(m_mutex);
    return m_started;
}

int TagWorkerPool::workersKilled() const {
    const std::lock_guard lock(m_mutex);
    return m_killed;
}

std::unique_ptr<TagWorkerPool::Worker> TagWorkerPool::spawnOnSpawnerThread() {
    auto started = std::make_shared<std::promise<std::unique_ptr<Worker>>>();
    std::future<std::unique_ptr<Worker>> worker = started->get_future();
    {
        const std::lock_guard lock(m_spawnMutex);
        if (m_spawnerStopping)
            return nullptr;
        m_spawnQueue.push_back([started] { started->set_value(spawn()); });
    }
    m_spawnWake.notify_one();
    return worker.get();
}

void TagWorkerPool::runSpawner() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_spawnMutex);
            m_spawnWake.wait(lock, [this] { return m_spawnerStopping || !m_spawnQueue.empty(); });
            if (m_spawnQueue.empty())
                return;
            task = std::move(m_spawnQueue.front());
            m_spawnQueue.pop_front();
        }
        task();
    }
}

std::unique_ptr<TagWorkerPool::Worker> TagWorkerPool::spawn() {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return nullptr;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return nullptr;
    }
    auto worker = std::make_unique<Worker>();
    worker->toWorker = toChild[1];
    worker->fromWorker = fromChild[0];
    int childInput = toChild[0];
    int childOutput = fromChild[1];

    pid_t pid = -1;
    int status = -1;
    if (moveAboveStandardStreams(childInput) && moveAboveStandardStreams(childOutput)) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, childInput, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, childOutput, STDOUT_FILENO);
        // Nothing else of ours reaches the helper, whatever lacks close-on-exec.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

        // Our threads may block signals, and SIGPIPE may be ignored here; the
        // helper starts with neither, so it dies when it writes to a parent gone.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::string parent = std::to_string(getpid());
        std::string name = "cadenza-tag-helper";
        std::string flag = TagWorker::flag;
        char* arguments[] = {name.data(), flag.data(), parent.data(), nullptr};
        status = posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, arguments, environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    closeIfOpen(childInput);
    closeIfOpen(childOutput);
    if (status != 0) {
        closeIfOpen(worker->toWorker);
        closeIfOpen(worker->fromWorker);
        return nullptr;
    }
    worker->pid = pid;
    fcntl(worker->toWorker, F_SETFL, fcntl(worker->toWorker, F_GETFL) | O_NONBLOCK);
    fcntl(worker->fromWorker, F_SETFL, fcntl(worker->fromWorker, F_GETFL) | O_NONBLOCK);
    return worker;
}

bool TagWorker::entryInstalled() {
    return entryCalled;
}

void TagWorker::installEntry() {
    entryCalled = true;
}
