#pragma once

#include "QuireCore/Result.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Why a request brought no answer, for the user.
struct LookupError {
    enum class Kind {
        network,   // no connection, refused, timed out
        service,   // an HTTP error, or 503 after every retry
        notFound,  // 404: the service knows no such thing
        malformed, // an answer that is not what the service documents
        cancelled, // the user stopped it
    };
    Kind kind = Kind::network;
    QString text;
};

// The one way to the online services of a session: GET requests, answered
// asynchronously on the thread that owns the client (the GUI thread never
// waits). It keeps the services' rules for every request it sends:
// - one request at a time, each started at least minimumInterval (a second)
//   after the one before, whichever service it goes to;
// - a User-Agent naming the program, its version and a contact address;
// - 503 answers retried a few times, after the Retry-After the service gives
//   or after a growing pause;
// - answers kept for the session, by address, so asking again costs nothing;
// - no answer longer than maximumAnswerSize is read.
// cancelAll() stops everything pending: each of those requests is answered
// `cancelled`, and nothing of them arrives later.
class LookupClient : public QObject {
    Q_OBJECT
    Q_PROPERTY(int pendingCount READ pendingCount NOTIFY pendingCountChanged)

public:
    using Reply = std::function<void(const Result<QByteArray, LookupError>& answer)>;

    explicit LookupClient(QObject* parent = nullptr);
    ~LookupClient() override;

    // "Cadenza/<version> ( <contact> )".
    static QByteArray defaultUserAgent();
    void setUserAgent(const QByteArray& userAgent) { m_userAgent = userAgent; }
    void setMinimumInterval(std::chrono::milliseconds interval) { m_interval = interval; }
    void setMaximumRetries(int retries) { m_maximumRetries = retries; }
    // How long a request may go without receiving anything.
    void setTransferTimeout(std::chrono::milliseconds timeout) { m_transferTimeout = timeout; }
    // A longer answer is broken off and fails: no service answer nor cover is near this size.
    void setMaximumAnswerSize(qint64 bytes) { m_maximumAnswerSize = bytes; }

    // `reply` is called exactly once, always later (never from within get()).
    void get(const QUrl& url, Reply reply);
    void cancelAll();
    // Drops the kept answer of `url` (one that turned out unreadable), so that it is asked for again.
    void forget(const QUrl& url) { m_cache.remove(url); }
    // Requests waiting or running.
    int pendingCount() const { return int(m_queue.size()) + (m_running ? 1 : 0); }
    // Counts the calls of cancelAll(): work begun before a cancel and ending after it is dropped.
    quint64 generation() const { return m_generation; }

signals:
    void pendingCountChanged();

private:
    struct Request {
        QUrl url;
        Reply reply;
        int attempt = 0;
        qint64 notBefore = 0; // on m_clock, in ms
    };

    void pump();
    void start(Request request);
    void finished(QNetworkReply* reply);
    // Wait this long before retrying after a 503.
    qint64 retryDelay(const QNetworkReply& reply, int attempt) const;

    QNetworkAccessManager* m_network = nullptr; // made on the first request
    QByteArray m_userAgent;
    std::chrono::milliseconds m_interval{1000};
    std::chrono::milliseconds m_transferTimeout{30000};
    int m_maximumRetries = 3;
    qint64 m_maximumAnswerSize = 64 * 1024 * 1024;
    bool m_runningTooLarge = false;
    QElapsedTimer m_clock;
    qint64 m_lastStart = -1; // ms on m_clock; -1 before the first request
    QList<Request> m_queue;
    std::optional<Request> m_running;
    QPointer<QNetworkReply> m_runningReply;
    QTimer m_wait;
    QHash<QUrl, QByteArray> m_cache;
    quint64 m_generation = 0;
};
