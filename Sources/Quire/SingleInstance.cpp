#include "Quire/SingleInstance.h"

#include <QDataStream>
#include <QLocalSocket>
#include <unistd.h>

namespace {
// A request larger than this is not ours.
constexpr qint64 maximumRequestSize = 16 * 1024 * 1024;
} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent)
    , m_key(key) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            readConnection(socket);
    });
}

QString SingleInstance::defaultKey() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    display.replace(u'/', u'_').replace(u':', u'_');
    // The session's private runtime folder, not the shared temporary one: an
    // editor of another session on the same display (a nested or scripted
    // session with its own runtime folder) is not the one to hand files to,
    // and nobody else can claim the name first.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith(u'/'))
        return QStringLiteral("%1/cadenza-%2").arg(runtime, display);
    return QStringLiteral("cadenza-%1-%2").arg(getuid()).arg(display);
}

bool SingleInstance::handOver(const QList<QUrl>& urls, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(url.toString(QUrl::FullyEncoded));
    QByteArray payload;
    QDataStream payloadStream(&payload, QIODevice::WriteOnly);
    payloadStream << paths;
    QByteArray message;
    QDataStream messageStream(&message, QIODevice::WriteOnly);
    messageStream << qint64(payload.size());
    message.append(payload);
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance answers once it has taken the request.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "1";
}

bool SingleInstance::listen() {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(m_key))
        return true;
    // A socket left by an instance that crashed: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(m_key);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(m_key);
    return m_server.listen(m_key);
}

void SingleInstance::readConnection(QLocalSocket* socket) {
    socket->setParent(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        const QByteArray buffered = socket->peek(socket->bytesAvailable());
        if (buffered.size() < qsizetype(sizeof(qint64)))
            return;
        qint64 size = 0;
        QDataStream header(buffered);
        header >> size;
        if (size < 0 || size > maximumRequestSize) {
            socket->abort();
            return;
        }
        if (buffered.size() < qsizetype(sizeof(qint64)) + size)
            return;
        socket->read(sizeof(qint64));
        const QByteArray payload = socket->read(size);
        QStringList paths;
        QDataStream stream(payload);
        stream >> paths;
        if (stream.status() != QDataStream::Ok) {
            socket->abort();
            return;
        }
        QList<QUrl> urls;
        for (const QString& path : paths) {
            const QUrl url(path, QUrl::StrictMode);
            if (url.isLocalFile())
                urls.append(url);
        }
        socket->write("1");
        socket->flush();
        emit openRequested(urls);
    });
}
