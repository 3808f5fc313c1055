#include "Quire/SoftwareUpdater.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>

namespace {

struct FeedItem {
    QVersionNumber version;
    QString versionText;
    QUrl url;
};

QString versionAttribute(const QXmlStreamAttributes& attributes) {
    for (const char* name : {"shortVersionString", "version"}) {
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.name() == QLatin1String(name))
                return attribute.value().toString().trimmed();
        }
    }
    return {};
}

} // namespace

AppcastUpdater::AppcastUpdater(const QUrl& feed, const QString& currentVersion, QObject* parent)
    : SoftwareUpdater(parent)
    , m_feed(feed)
    , m_current(QVersionNumber::fromString(currentVersion)) {}

bool AppcastUpdater::isAvailable() const {
    return m_feed.isValid() && !m_feed.isEmpty();
}

bool AppcastUpdater::canCheckForUpdates() const {
    return isAvailable() && !m_reply;
}

void AppcastUpdater::checkForUpdates() {
    if (!canCheckForUpdates())
        return;
    QNetworkRequest request(m_feed);
    request.setTransferTimeout(timeoutMs);
    request.setMaximumRedirectsAllowed(5);
    m_tooLarge = false;
    m_reply = m_network.get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        if (received > maximumFeedSize || total > maximumFeedSize) {
            m_tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
    emit canCheckForUpdatesChanged();
}

void AppcastUpdater::finish(QNetworkReply* reply) {
    reply->deleteLater();
    UpdateCheckResult result;
    if (m_tooLarge) {
        result.error = tr("The update feed is larger than %1 MB.").arg(maximumFeedSize / (1024 * 1024));
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = tr("The update feed could not be reached: %1").arg(reply->errorString());
    } else {
        result = parseFeed(reply->read(maximumFeedSize + 1), m_current);
    }
    m_reply = nullptr;
    emit canCheckForUpdatesChanged();
    emit checkFinished(result);
}

UpdateCheckResult AppcastUpdater::parseFeed(const QByteArray& feed, const QVersionNumber& current) {
    UpdateCheckResult result;
    if (feed.size() > maximumFeedSize) {
        result.error = tr("The update feed is larger than %1 MB.").arg(maximumFeedSize / (1024 * 1024));
        return result;
    }
    QXmlStreamReader xml(feed);
    std::optional<FeedItem> newest;
    bool sawChannel = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"channel")
            sawChannel = true;
        if (xml.name() != u"enclosure")
            continue;
        FeedItem item;
        item.versionText = versionAttribute(xml.attributes());
        item.version = QVersionNumber::fromString(item.versionText);
        item.url = QUrl(xml.attributes().value(QStringLiteral("url")).toString());
        if (!item.version.isNull() && (!newest || item.version > newest->version))
            newest = item;
    }
    if (xml.hasError() || !sawChannel) {
        result.error = tr("The update feed is not a valid feed.");
        return result;
    }
    if (!newest) {
        result.error = tr("The update feed lists no versions.");
        return result;
    }
    result.latestVersion = newest->versionText;
    result.downloadUrl = newest->url;
    result.kind = newest->version > current ? UpdateCheckResult::Kind::newerAvailable
                                            : UpdateCheckResult::Kind::upToDate;
    return result;
}
