#include "WidgetTestSupport.h"

#include "Quire/AppDelegate.h"
#include "Quire/SoftwareUpdater.h"
#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/Palette/PaletteCommand.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace WidgetTest;

namespace {

QByteArray feedWith(const QStringList& versions) {
    QByteArray items;
    for (const QString& version : versions)
        items += QStringLiteral(
                     "<item><title>Cadenza %1</title><enclosure url=\"https://example.org/cadenza-%1.deb\" "
                     "app:shortVersionString=\"%1\" length=\"1\" type=\"application/octet-stream\"/>"
                     "</item>")
                     .arg(version)
                     .toUtf8();
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:app=\"https://cadenza.invalid/appcast\">"
           "<channel><title>Cadenza</title>" +
           items + "</channel></rss>";
}

// Serves one body to every request on the loopback address.
class FeedServer {
public:
    explicit FeedServer(QByteArray body)
        : m_body(std::move(body)) {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                                  QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                                  m_body);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort()));
    }

private:
    QByteArray m_body;
    QTcpServer m_server;
};

UpdateCheckResult check(AppcastUpdater& updater) {
    QSignalSpy finished(&updater, &SoftwareUpdater::checkFinished);
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates()); // one check at a time
    EXPECT_TRUE(finished.wait(10000));
    EXPECT_TRUE(updater.canCheckForUpdates());
    return finished.value(0).value(0).value<UpdateCheckResult>();
}

TEST(UpdaterTest, FeedsAreComparedWithOurVersion) {
    const QVersionNumber ours(1, 2);
    UpdateCheckResult result = AppcastUpdater::parseFeed(feedWith({"1.1", "1.3", "1.2.5"}), ours);
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::newerAvailable);
    EXPECT_EQ(result.latestVersion, "1.3");
    EXPECT_EQ(result.downloadUrl, QUrl("https://example.org/cadenza-1.3.deb"));
    EXPECT_EQ(AppcastUpdater::parseFeed(feedWith({"1.2", "0.9"}), ours).kind,
              UpdateCheckResult::Kind::upToDate);
    EXPECT_EQ(AppcastUpdater::parseFeed(feedWith({"1.10"}), QVersionNumber(1, 9)).kind,
              UpdateCheckResult::Kind::newerAvailable);

    for (const QByteArray& bad : {QByteArray("<rss><channel><item>"), QByteArray("not a feed at all"),
                                  feedWith({}), feedWith({"beta"})}) {
        result = AppcastUpdater::parseFeed(bad, ours);
        EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed) << bad.toStdString();
        EXPECT_FALSE(result.error.isEmpty());
    }
}

TEST(UpdaterTest, ChecksRunAgainstAServedFeed) {
    FeedServer newer(feedWith({"0.2.0"}));
    AppcastUpdater updater(newer.url(), QStringLiteral("0.1.0"));
    EXPECT_EQ(check(updater).kind, UpdateCheckResult::Kind::newerAvailable);

    FeedServer current(feedWith({"0.1.0"}));
    AppcastUpdater same(current.url(), QStringLiteral("0.1.0"));
    EXPECT_EQ(check(same).kind, UpdateCheckResult::Kind::upToDate);

    FeedServer malformed("<rss><channel><item><enclosure");
    AppcastUpdater broken(malformed.url(), QStringLiteral("0.1.0"));
    EXPECT_EQ(check(broken).kind, UpdateCheckResult::Kind::failed);

    FeedServer huge(QByteArray(3 * AppcastUpdater::maximumFeedSize, 'x'));
    AppcastUpdater flooded(huge.url(), QStringLiteral("0.1.0"));
    const UpdateCheckResult tooLarge = check(flooded);
    EXPECT_EQ(tooLarge.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(tooLarge.error.contains("larger")) << tooLarge.error;

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    AppcastUpdater unreachable(QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port)),
                               QStringLiteral("0.1.0"));
    const UpdateCheckResult refused = check(unreachable);
    EXPECT_EQ(refused.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(refused.error.contains("could not be reached")) << refused.error;
}

// Programs come from the distribution's packages: a build without a feed
// offers no check, in the menus or the palette.
TEST(UpdaterTest, TheCommandNeedsAFeedAndTheResultIsShown) {
    AppDelegate withoutFeed(new AppcastUpdater(QUrl(), QStringLiteral("0.1.0")));
    QAction* hidden = withoutFeed.mainWindow()->action(Commands::checkForUpdates);
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_FALSE(hidden->isEnabled());
    for (const PaletteCommand& command : Palette::allCommands(*withoutFeed.mainWindow()->commandRegistry()))
        EXPECT_NE(command.title, "Check for Updates…");

    FeedServer current(feedWith({"0.1.0"}));
    AppDelegate delegate(new AppcastUpdater(current.url(), QStringLiteral("0.1.0")));
    delegate.showMainWindow();
    QAction* checkAction = delegate.mainWindow()->action(Commands::checkForUpdates);
    EXPECT_TRUE(checkAction->isVisible());
    EXPECT_TRUE(checkAction->isEnabled());
    auto answer = answerNextMessageBox(QStringLiteral("OK"));
    checkAction->trigger();
    EXPECT_FALSE(checkAction->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(answer->shown, 10000);
    EXPECT_EQ(answer->text, "Cadenza is up to date.");
    EXPECT_TRUE(checkAction->isEnabled());
}

} // namespace
