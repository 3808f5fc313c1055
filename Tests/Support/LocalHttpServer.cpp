#include "Support/LocalHttpServer.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace TestSupport {

class LocalHttpServer::Worker : public QThread {
public:
    Worker() {
        start();
        m_ready.acquire();
    }
    ~Worker() override {
        quit();
        wait();
    }

    quint16 port() const { return m_port; }

    void route(const QByteArray& path, QList<Response> responses) {
        QMutexLocker lock(&m_mutex);
        m_routes.insert(path, std::move(responses));
    }
    QList<Request> requests() const {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }

protected:
    void run() override {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, [this, &server] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                serve(socket);
        });
        m_ready.release();
        exec();
    }

private:
    void serve(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& buffer = m_buffers[socket];
            buffer += socket->readAll();
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer.left(end);
            m_buffers.remove(socket);
            answer(socket, head);
        });
    }

    void answer(QTcpSocket* socket, const QByteArray& head) {
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        Request request{requestLine.value(1), {}, QDateTime::currentMSecsSinceEpoch()};
        for (const QByteArray& line : lines.mid(1))
            if (line.toLower().startsWith("user-agent:"))
                request.userAgent = line.mid(11).trimmed();
        const QByteArray path = request.target.split('?').value(0);
        Response response{404, "{\"error\": \"Not Found\"}"};
        {
            QMutexLocker lock(&m_mutex);
            m_requests.append(request);
            auto found = m_routes.find(path);
            if (found != m_routes.end() && !found->isEmpty())
                response = found->size() > 1 ? found->takeFirst() : found->first();
        }
        QByteArray bytes = "HTTP/1.1 " + QByteArray::number(response.status) +
                           " Canned\r\nContent-Type: " + response.contentType +
                           "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                           "\r\nConnection: close\r\n";
        for (const auto& [name, value] : response.headers)
            bytes += name + ": " + value + "\r\n";
        bytes += "\r\n" + response.body;
        QPointer<QTcpSocket> target(socket);
        QTimer::singleShot(response.delayMs, socket, [target, bytes] {
            if (!target)
                return;
            target->write(bytes);
            target->disconnectFromHost();
        });
    }

    QSemaphore m_ready;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QByteArray, QList<Response>> m_routes;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers; // the server thread's own
};

LocalHttpServer::LocalHttpServer()
    : m_worker(std::make_unique<Worker>()) {}

LocalHttpServer::~LocalHttpServer() = default;

QUrl LocalHttpServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_worker->port()));
}

void LocalHttpServer::route(const QByteArray& path, QList<Response> responses) {
    m_worker->route(path, std::move(responses));
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const {
    return m_worker->requests();
}

quint16 LocalHttpServer::closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace TestSupport
