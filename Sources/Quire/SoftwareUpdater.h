#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVersionNumber>

class QNetworkReply;

// The outcome of one update check.
struct UpdateCheckResult {
    enum class Kind { upToDate, newerAvailable, failed };
    Kind kind = Kind::failed;
    QString latestVersion;
    QUrl downloadUrl;
    QString error; // why the check failed
};

// Checks for newer versions of the program. On Linux the distribution's
// package manager updates programs: a build offers its own check only when it
// is configured with a feed, and a check is possible while none is running.
class SoftwareUpdater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    using QObject::QObject;
    // Whether this build has a way to check at all; without one the command is not offered.
    virtual bool isAvailable() const = 0;
    virtual bool canCheckForUpdates() const = 0;
    // Starts a check in the background; `checkFinished` reports it.
    virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged();
    void checkFinished(const UpdateCheckResult& result);
};

// Reads an appcast feed (RSS whose items carry versions and download links on
// their enclosures) and compares the newest version with ours. The feed is
// fetched asynchronously, with a time limit and a size limit.
class AppcastUpdater : public SoftwareUpdater {
    Q_OBJECT
public:
    static constexpr qint64 maximumFeedSize = 1024 * 1024;
    static constexpr int timeoutMs = 15000;

    // An empty feed URL means no feed: no check is possible.
    AppcastUpdater(const QUrl& feed, const QString& currentVersion, QObject* parent = nullptr);
    bool isAvailable() const override;
    bool canCheckForUpdates() const override;
    void checkForUpdates() override;

    // The newest item of a feed, or the reason it cannot be read.
    static UpdateCheckResult parseFeed(const QByteArray& feed, const QVersionNumber& current);

private:
    void finish(QNetworkReply* reply);

    QUrl m_feed;
    QVersionNumber m_current;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    bool m_tooLarge = false;
};
