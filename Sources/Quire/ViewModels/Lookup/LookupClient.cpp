#include "Quire/ViewModels/Lookup/LookupClient.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>

#ifndef CADENZA_VERSION
#define CADENZA_VERSION "0"
#endif
#ifndef CADENZA_FEEDBACK_ADDRESS
#define CADENZA_FEEDBACK_ADDRESS "feedback@cadenza.invalid"
#endif

namespace {

// A service that asks for a longer pause than this is treated as failing.
constexpr qint64 longestRetryDelayMs = 60'000;

} // namespace

LookupClient::LookupClient(QObject* parent)
    : QObject(parent)
    , m_userAgent(defaultUserAgent()) {
    m_clock.start();
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &LookupClient::pump);
}

LookupClient::~LookupClient() {
    if (m_runningReply) {
        m_runningReply->disconnect(this);
        m_runningReply->abort();
    }
}

QByteArray LookupClient::defaultUserAgent() {
    return QByteArrayLiteral("Cadenza/" CADENZA_VERSION " ( mailto:" CADENZA_FEEDBACK_ADDRESS " )");
}

void LookupClient::get(const QUrl& url, Reply reply) {
    if (const auto cached = m_cache.constFind(url); cached != m_cache.constEnd()) {
        QMetaObject::invokeMethod(
            this, [reply = std::move(reply), bytes = *cached] { reply(bytes); }, Qt::QueuedConnection);
        return;
    }
    m_queue.append({url, std::move(reply), 0, 0});
    emit pendingCountChanged();
    pump();
}

void LookupClient::cancelAll() {
    ++m_generation;
    QList<Request> stopped = std::exchange(m_queue, {});
    m_wait.stop();
    if (m_running) {
        stopped.prepend(std::move(*m_running));
        m_running.reset();
    }
    if (m_runningReply) {
        QNetworkReply* reply = m_runningReply;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (stopped.isEmpty())
        return;
    emit pendingCountChanged();
    for (const Request& request : std::as_const(stopped))
        request.reply(LookupError{LookupError::Kind::cancelled, tr("The lookup was cancelled.")});
}

void LookupClient::pump() {
    if (m_running || m_queue.isEmpty())
        return;
    const qint64 now = m_clock.elapsed();
    const qint64 paced = m_lastStart < 0 ? now : m_lastStart + qint64(m_interval.count());
    const qint64 due = std::max({now, paced, m_queue.first().notBefore});
    if (due > now) {
        m_wait.start(std::chrono::milliseconds(due - now));
        return;
    }
    start(m_queue.takeFirst());
}

void LookupClient::start(Request request) {
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    QNetworkRequest networkRequest(request.url);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    networkRequest.setRawHeader("Accept", "application/json, image/*;q=0.9");
    networkRequest.setTransferTimeout(int(m_transferTimeout.count()));
    m_lastStart = m_clock.elapsed();
    m_running = std::move(request);
    QNetworkReply* reply = m_network->get(networkRequest);
    m_runningReply = reply;
    m_runningTooLarge = false;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        if (std::max(received, total) > m_maximumAnswerSize && !m_runningTooLarge) {
            m_runningTooLarge = true;
            reply->abort(); // finished() follows and reports it
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

qint64 LookupClient::retryDelay(const QNetworkReply& reply, int attempt) const {
    const QByteArray retryAfter = reply.rawHeader("Retry-After").trimmed();
    if (!retryAfter.isEmpty()) {
        bool isNumber = false;
        const qint64 seconds = retryAfter.toLongLong(&isNumber);
        if (isNumber && seconds >= 0)
            return seconds * 1000;
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(retryAfter), Qt::RFC2822Date);
        if (when.isValid())
            return std::max<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(when));
    }
    return qint64(m_interval.count()) << attempt;
}

void LookupClient::finished(QNetworkReply* reply) {
    reply->deleteLater();
    if (!m_running || reply != m_runningReply)
        return;
    Request request = std::move(*m_running);
    m_running.reset();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString host = request.url.host();

    if (status == 503 && request.attempt < m_maximumRetries) {
        const qint64 delay = retryDelay(*reply, request.attempt);
        if (delay <= longestRetryDelayMs) {
            ++request.attempt;
            request.notBefore = m_clock.elapsed() + delay;
            m_queue.prepend(std::move(request));
            pump();
            return;
        }
    }

    std::optional<LookupError> error;
    if (m_runningTooLarge) {
        error =
            LookupError{LookupError::Kind::service, tr("%1 sent an answer too large to be read.").arg(host)};
    } else if (status == 404) {
        error = LookupError{LookupError::Kind::notFound, tr("%1 knows no such release.").arg(host)};
    } else if (status >= 400 || (status == 0 && reply->error() == QNetworkReply::NoError)) {
        error =
            LookupError{LookupError::Kind::service,
                        tr("%1 answered with an error (%2 %3); try again later.")
                            .arg(host)
                            .arg(status)
                            .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())};
    } else if (reply->error() != QNetworkReply::NoError) {
        error = LookupError{LookupError::Kind::network,
                            tr("%1 could not be reached: %2").arg(host, reply->errorString())};
    }
    const QByteArray body = error ? QByteArray() : reply->readAll();
    if (!error)
        m_cache.insert(request.url, body);
    emit pendingCountChanged();
    // The reply may start another request, or cancel: the queue goes on only after it.
    if (error)
        request.reply(*error);
    else
        request.reply(body);
    pump();
}
