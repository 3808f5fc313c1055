#pragma once

#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QUrl>

// One running editor per session and display: a second launch hands its files
// to the running one over a local socket and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the socket; tests use their own.
    explicit SingleInstance(const QString& key = defaultKey(), QObject* parent = nullptr);
    static QString defaultKey();

    // Hands the paths to a running instance; true when one took them.
    bool handOver(const QList<QUrl>& urls, int timeoutMs = 2000) const;
    // Becomes the running instance; false when the name cannot be claimed.
    bool listen();

signals:
    // Another launch asked to open these files (possibly none: just come to the front).
    void openRequested(const QList<QUrl>& urls);

private:
    void readConnection(QLocalSocket* socket);

    QString m_key;
    QLocalServer m_server;
};
