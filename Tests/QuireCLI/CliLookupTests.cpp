#include "CliRunner.h"
#include "Support/CannedLookup.h"
#include "Support/LocalHttpServer.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

using Server = TestSupport::LocalHttpServer;

// Three real files, tagged by cadenza-cli against a local server named by the environment.
class CliLookupTest : public testing::Test {
protected:
    void SetUp() override {
        add(QStringLiteral("01.mp3"), QStringLiteral("untagged.mp3"));
        add(QStringLiteral("02.flac"), QStringLiteral("untagged.flac"));
        add(QStringLiteral("03.ogg"), QStringLiteral("untagged.ogg"));
        environment.insert(QStringLiteral("CADENZA_MUSICBRAINZ_URL"), server.url().toString());
        environment.insert(QStringLiteral("CADENZA_COVERART_URL"), server.url().toString());
        server.route("/ws/2/release",
                     CannedLookup::search({{CannedLookup::otherReleaseId, "Live", "The Band", 14, 100},
                                           {CannedLookup::releaseId, "Album", "The Band", 3, 90}}));
        server.route("/ws/2/release/" + CannedLookup::releaseId.toLatin1(),
                     CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
        server.route("/release/" + CannedLookup::releaseId.toLatin1(),
                     CannedLookup::coverListing(server.url()));
        server.route("/front-1200.jpg",
                     {Server::Response{200, TestSupport::encodedImage(64, 64, "JPEG"), "image/jpeg"}});
    }
    void add(const QString& name, const QString& fixture) {
        QFile source(TestSupport::fixturePath(fixture));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        folder.write(name, source.readAll());
    }
    CliRun run(const QStringList& commands) {
        QStringList arguments{"--json", "-c", "set album Album", "-c", "set artist 'The Band'"};
        for (const QString& command : commands)
            arguments << QStringLiteral("-c") << command;
        return runCli(arguments << folder.path(), false, environment);
    }
    // The result of the run's first command that starts with `command`.
    static QJsonValue resultOf(const CliRun& run, const QString& command) {
        for (const QJsonValue& entry : QJsonDocument::fromJson(run.out.toUtf8()).array())
            if (entry.toObject().value("command").toString().startsWith(command))
                return entry.toObject().value("result");
        return {};
    }

    Server server;
    TestSupport::ScratchFolder folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(CliLookupTest, ListsTheCandidatesBestFittingFirst) {
    const CliRun listed = run({"lookup"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const QJsonArray candidates = resultOf(listed, "lookup").toArray();
    ASSERT_EQ(candidates.size(), 2) << listed.out;
    EXPECT_EQ(candidates[0].toObject().value("id").toString(), CannedLookup::releaseId);
    EXPECT_EQ(candidates[0].toObject().value("title").toString(), "Album");
    EXPECT_EQ(candidates[0].toObject().value("label").toString(), "Small Label");
    EXPECT_GT(candidates[0].toObject().value("score").toInt(),
              candidates[1].toObject().value("score").toInt());
}

TEST_F(CliLookupTest, AppliesTheBestReleaseWithItsCoverAndSavesIt) {
    const CliRun applied =
        run({"lookup --apply --cover --cover-size 1200", "save", "json --no-artwork-data"});
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    const QJsonObject outcome = resultOf(applied, "lookup").toObject();
    EXPECT_EQ(outcome.value("applied").toInt(), 3) << applied.out;
    EXPECT_TRUE(outcome.value("cover").toBool());
    EXPECT_EQ(outcome.value("unmatchedFiles").toArray().size(), 0);
    // Untagged, the files are taken by the numbers in their names.
    QStringList titles;
    for (const QJsonValue& record : resultOf(applied, "json").toArray()) {
        const QJsonObject file = record.toObject();
        const QJsonObject tags = file.value("tags").toObject();
        titles.append(tags.value("title").toString());
        EXPECT_EQ(tags.value("year").toString(), "2003-05-12");
        EXPECT_EQ(tags.value("custom").toObject().value("MUSICBRAINZ_ALBUMID").toString(),
                  CannedLookup::releaseId);
        EXPECT_EQ(file.value("artwork").toArray().size(), 1);
        EXPECT_FALSE(file.value("isModified").toBool());
    }
    EXPECT_EQ(titles, QStringList({"Intro", "Song", "Outro"})) << applied.out;
    EXPECT_TRUE(server.requests().last().target.endsWith("/front-1200.jpg"));
}

TEST_F(CliLookupTest, ShowsWhatANamedReleaseWouldChangeAndRefusesBadOptions) {
    const CliRun shown = run({"set-file 02.flac trackNumber 3", "set-file 03.ogg trackNumber 2",
                              "lookup --release https://musicbrainz.org/release/" + CannedLookup::releaseId});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const QJsonObject preview = resultOf(shown, "lookup").toObject();
    bool sawOutro = false;
    for (const QJsonValue& file : preview.value("files").toArray())
        if (file.toObject().value("file").toString() == "02.flac")
            sawOutro = file.toObject().value("track").toString() == "1-03 Outro";
    EXPECT_TRUE(sawOutro) << shown.out;
    EXPECT_FALSE(preview.contains("applied"));

    EXPECT_EQ(run({"lookup --release nonsense"}).exitCode, 2);
    EXPECT_EQ(run({"lookup --apply --cover --cover-size 300"}).exitCode, 2);
    EXPECT_EQ(run({"lookup --cover"}).exitCode, 2);

    // A service that cannot be reached fails the command with a message, and nothing runs after it.
    environment.insert(QStringLiteral("CADENZA_MUSICBRAINZ_URL"),
                       QStringLiteral("http://127.0.0.1:%1").arg(Server::closedPort()));
    const CliRun offline = run({"lookup --apply", "save"});
    EXPECT_EQ(offline.exitCode, 1);
    EXPECT_TRUE(offline.err.contains("could not be reached")) << offline.err;
}

} // namespace
