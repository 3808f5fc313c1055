#include "DocumentTestSupport.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Support/CannedLookup.h"
#include "Support/LocalHttpServer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace DocumentTest;
using namespace MusicBrainz;
using namespace std::chrono_literals;
using Server = TestSupport::LocalHttpServer;

namespace {

const QByteArray releasePath = "/ws/2/release/" + CannedLookup::releaseId.toLatin1();

// A document of three real files, looking up against a local server.
class LookupServiceTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("a.mp3"), QStringLiteral("untagged.mp3"));
        library.add(QStringLiteral("b.flac"), QStringLiteral("tagged.flac"));
        library.add(QStringLiteral("c.ogg"), QStringLiteral("untagged.ogg"));
        importAndWait(document, {library.url()});
        document.selectAll();
        lookup().setServices({server.url(), server.url()});
        lookup().client().setMinimumInterval(0ms); // the pace has a test of its own
    }

    ReleaseLookup& lookup() { return document.releaseLookup(); }

    // Starts a request and waits for its answer.
    template <typename T, typename Start> Result<T, LookupError> awaited(Start start) {
        std::optional<Result<T, LookupError>> answer;
        start([&answer](const Result<T, LookupError>& result) { answer = result; });
        EXPECT_TRUE(QTest::qWaitFor([&answer] { return answer.has_value(); }, 20000));
        return answer ? *answer
                      : Result<T, LookupError>(LookupError{LookupError::Kind::network, "no answer"});
    }
    Result<Release, LookupError> release() {
        return awaited<Release>([this](auto done) { lookup().fetchRelease(CannedLookup::releaseId, done); });
    }
    Result<QList<LookupCandidate>, LookupError> candidates(const QString& text = {}) {
        return awaited<QList<LookupCandidate>>(
            [&](auto done) { lookup().findCandidates(document.selectedAudioFiles(), text, done); });
    }

    Server server;
    Library library;
    DocumentViewModel document;
};

TEST_F(LookupServiceTest, SearchesByTheFilesTagsAndRanksWhatFitsThemFirst) {
    document.editField(TagField::album, QStringLiteral("Album"));
    document.editField(TagField::artist, QStringLiteral("The Band"));
    server.route("/ws/2/release",
                 CannedLookup::search({{CannedLookup::otherReleaseId, "Greatest Hits", "The Band", 20, 100},
                                       {CannedLookup::releaseId, "Album", "The Band", 3, 80}}));
    const auto found = candidates();
    ASSERT_TRUE(found.ok()) << found.error().text;
    ASSERT_EQ(found.value().size(), 2);
    EXPECT_EQ(found.value()[0].release.id, CannedLookup::releaseId);
    EXPECT_GT(found.value()[0].score, found.value()[1].score);

    const Server::Request request = server.requests().first();
    EXPECT_TRUE(request.target.contains(
        "query=release%3A%22Album%22%20AND%20artist%3A%22The%20Band%22%20AND%20tracks%3A3"))
        << request.target.toStdString();
    EXPECT_TRUE(request.target.contains("fmt=json"));
    EXPECT_TRUE(request.userAgent.startsWith("Cadenza/")) << request.userAgent.toStdString();
    EXPECT_TRUE(request.userAgent.contains("( mailto:")) << request.userAgent.toStdString();

    // A release address is that release alone, looked up with its tracks.
    server.route(releasePath, CannedLookup::release("Album", {{"One", "Two", "Three"}}));
    const auto named =
        candidates(QStringLiteral("https://musicbrainz.org/release/") + CannedLookup::releaseId);
    ASSERT_TRUE(named.ok());
    ASSERT_EQ(named.value().size(), 1);
    EXPECT_EQ(named.value()[0].release.title, "Album");
    EXPECT_TRUE(
        server.requests().last().target.contains("inc=recordings+artist-credits+labels+release-groups"))
        << server.requests().last().target.toStdString();
}

TEST_F(LookupServiceTest, RetriesABusyServiceAndThenGivesUp) {
    const Server::Response busy{503, "{}", "application/json", {{"Retry-After", "0"}}};
    server.route(releasePath, {busy, busy, Server::Response{200, CannedLookup::release("Album", {{"One"}})}});
    ASSERT_TRUE(release().ok());
    EXPECT_EQ(server.requests().size(), 3);
    EXPECT_EQ(noticeText(document), std::nullopt);

    // Busy for good (and no Retry-After): a few tries, then one notice.
    lookup().client().setMaximumRetries(2);
    server.route("/ws/2/release", {Server::Response{503, "{}"}});
    const auto found = candidates(QStringLiteral("anything"));
    ASSERT_FALSE(found.ok());
    EXPECT_EQ(found.error().kind, LookupError::Kind::service);
    EXPECT_EQ(server.requests().size(), 3 + 3);
    ASSERT_EQ(document.notices().all().size(), 1);
    EXPECT_EQ(document.notices().all().first().kind, Notice::Kind::lookup);
}

TEST_F(LookupServiceTest, MalformedAnswersAndUnreachableServicesChangeNothing) {
    const QList<AudioFile> before = document.files();
    const QStringList steps = document.history().undoDescriptions();
    server.route(releasePath,
                 "{\"id\": \"" + CannedLookup::releaseId.toLatin1() + "\", \"media\": [{\"tracks\": 7}]}");
    auto answer = release();
    ASSERT_FALSE(answer.ok());
    EXPECT_EQ(answer.error().kind, LookupError::Kind::malformed);
    EXPECT_TRUE(noticeText(document)->contains("could not be read")) << noticeText(document)->toStdString();
    dismissNotices(document);

    lookup().setServices(
        {QUrl(QStringLiteral("http://127.0.0.1:%1").arg(Server::closedPort())), server.url()});
    answer = release();
    ASSERT_FALSE(answer.ok());
    EXPECT_EQ(answer.error().kind, LookupError::Kind::network);
    EXPECT_TRUE(noticeText(document)->contains("127.0.0.1 could not be reached"))
        << noticeText(document)->toStdString();
    EXPECT_EQ(document.files(), before);
    EXPECT_EQ(document.history().undoDescriptions(), steps);
}

TEST_F(LookupServiceTest, CancelStopsASlowAnswerAtOnce) {
    server.route(
        releasePath,
        {Server::Response{200, CannedLookup::release("Album", {{"One"}}), "application/json", {}, 10000}});
    std::optional<Result<Release, LookupError>> answer;
    lookup().fetchRelease(CannedLookup::releaseId, [&answer](const auto& result) { answer = result; });
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server.requests().isEmpty(); }, 5000));
    EXPECT_EQ(lookup().client().pendingCount(), 1);
    QElapsedTimer clock;
    clock.start();
    lookup().cancel();
    ASSERT_TRUE(QTest::qWaitFor([&answer] { return answer.has_value(); }, 5000));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_FALSE(answer->ok());
    EXPECT_EQ(answer->error().kind, LookupError::Kind::cancelled);
    EXPECT_EQ(lookup().client().pendingCount(), 0);
    EXPECT_EQ(noticeText(document), std::nullopt); // the user's own doing
}

TEST_F(LookupServiceTest, PacesRequestsASecondApartAndAsksEachAddressOnce) {
    lookup().client().setMinimumInterval(1000ms);
    server.route(releasePath, CannedLookup::release("Album", {{"One"}}));
    server.route("/ws/2/release", CannedLookup::search({}));
    std::optional<bool> first, second;
    lookup().fetchRelease(CannedLookup::releaseId, [&first](const auto& result) { first = result.ok(); });
    lookup().findCandidates({}, QStringLiteral("words"),
                            [&second](const auto& result) { second = result.ok(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return first && second; }, 10000));
    EXPECT_TRUE(*first && *second);
    const QList<Server::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_GE(requests[1].receivedMs - requests[0].receivedMs, 950);

    ASSERT_TRUE(release().ok()); // kept for the session
    EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(LookupServiceTest, ApplyingAReleaseAndItsCoverIsOneStepThatUndoes) {
    // The files in another order than the tracks, found by their numbers.
    document.editField(TagField::trackNumber, QStringLiteral("2"), fileNamed(document, "a.mp3").id());
    document.editField(TagField::trackNumber, QStringLiteral("3"), fileNamed(document, "b.flac").id());
    document.editField(TagField::trackNumber, QStringLiteral("1"), fileNamed(document, "c.ogg").id());
    const QList<AudioFile> before = document.files();
    const int stepsBefore = int(document.history().undoDescriptions().size());

    server.route(releasePath, CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
    server.route("/release/" + CannedLookup::releaseId.toLatin1(), CannedLookup::coverListing(server.url()));
    const QByteArray image = TestSupport::encodedImage(250, 250, "JPEG");
    server.route("/front-250.jpg", {Server::Response{200, image, "image/jpeg"}});

    const auto found = release();
    ASSERT_TRUE(found.ok());
    const ReleaseMatch match = matchFiles(document.selectedAudioFiles(), found.value());
    EXPECT_TRUE(match.unmatchedFiles.isEmpty());
    const auto cover = awaited<std::optional<Artwork>>(
        [this](auto done) { lookup().fetchFrontCover(CannedLookup::releaseId, CoverSize::small, done); });
    ASSERT_TRUE(cover.ok());
    ASSERT_TRUE(cover.value().has_value());
    EXPECT_EQ(cover.value()->type, ArtworkType::frontCover);

    EXPECT_EQ(lookup().apply(found.value(), match, *cover.value()), 3);
    EXPECT_EQ(document.history().undoDescriptions().size(), stepsBefore + 1);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Look Up “Album”"));
    const AudioFile& song = fileNamed(document, "a.mp3");
    EXPECT_EQ(song.tags().title, "Song");
    EXPECT_EQ(song.tags().artist, "The Band feat. Guest");
    EXPECT_EQ(song.tags().custom.value("MUSICBRAINZ_RELEASETRACKID"), CannedLookup::trackId(1, 2));
    EXPECT_EQ(fileNamed(document, "b.flac").tags().title, "Outro");
    EXPECT_EQ(fileNamed(document, "c.ogg").tags().title, "Intro");
    for (const AudioFile& file : document.files()) {
        ASSERT_FALSE(file.artwork().isEmpty()) << file.filename();
        EXPECT_TRUE(Artwork::isSamePicture(file.artwork().first(), *cover.value()));
        EXPECT_TRUE(file.isModified());
    }

    ASSERT_TRUE(undoAndWait(document));
    for (const AudioFile& file : before) {
        const AudioFile& now = fileNamed(document, file.filename());
        EXPECT_EQ(now.tags(), file.tags()) << file.filename();
        EXPECT_TRUE(Artwork::areSamePictures(now.artwork(), file.artwork())) << file.filename();
    }
}

} // namespace
