#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <memory>

namespace TestSupport {

// An HTTP server on the loopback interface for the tests of online lookups,
// answering canned responses by path. It runs on its own thread, so it
// answers while the test's thread waits (for a cadenza-cli process, say).
class LocalHttpServer {
public:
    struct Response {
        using Headers = QList<std::pair<QByteArray, QByteArray>>;
        Response(int status, QByteArray body, QByteArray contentType = "application/json",
                 Headers headers = {}, int delayMs = 0)
            : status(status)
            , body(std::move(body))
            , contentType(std::move(contentType))
            , headers(std::move(headers))
            , delayMs(delayMs) {}
        int status;
        QByteArray body;
        QByteArray contentType;
        Headers headers;
        int delayMs; // before the answer is sent
    };
    struct Request {
        QByteArray target; // path and query
        QByteArray userAgent;
        qint64 receivedMs = 0; // since the epoch
    };

    LocalHttpServer();
    ~LocalHttpServer();

    // http://127.0.0.1:<port>
    QUrl url() const;
    // Requests for `path` (whatever their query) get the responses in turn, the last one from then
    // on; other paths get 404.
    void route(const QByteArray& path, QList<Response> responses);
    void route(const QByteArray& path, const QByteArray& json) { route(path, {Response{200, json}}); }
    QList<Request> requests() const;
    // A port on which nothing listens.
    static quint16 closedPort();

private:
    class Worker;
    std::unique_ptr<Worker> m_worker;
};

} // namespace TestSupport
