#include "Quire/ViewModels/Lookup/ReleaseMatching.h"
#include "Support/CannedLookup.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace MusicBrainz;

namespace {

Release parsed(const QByteArray& json) {
    const Result<Release, QString> release = parseRelease(json);
    EXPECT_TRUE(release.ok());
    return release ? release.value() : Release{};
}

// A record in memory with the given tags and duration: matching reads nothing else.
AudioFile fileWith(const QString& name, std::optional<QString> title, std::optional<QString> track,
                   std::optional<QString> disc = std::nullopt, double seconds = 0) {
    TagSet tags;
    tags.title = std::move(title);
    tags.trackNumber = std::move(track);
    tags.discNumber = std::move(disc);
    AudioProperties properties;
    properties.duration = seconds;
    return AudioFile(QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/music/") + name),
                     AudioFormat::mp3, std::nullopt, properties, tags, {});
}

// The track label each file got, by file name; "-" for none.
QStringList labels(const QList<AudioFile>& files, const Release& release) {
    const ReleaseMatch match = matchFiles(files, release);
    QStringList result;
    for (const AudioFile& file : files) {
        QString label = QStringLiteral("-");
        for (const TrackMatch& matched : match.matched)
            if (matched.file == file.id())
                label = trackLabel(release, matched.place);
        result.append(label);
    }
    return result;
}

TEST(LookupParsingTest, ReadsSearchesReleasesAndCoverListings) {
    const Result<QList<ReleaseSummary>, QString> found =
        parseSearch(CannedLookup::search({{CannedLookup::releaseId, "First", "The Band", 3, 90},
                                          {CannedLookup::otherReleaseId, "Second", "Other", 12, 40}}));
    ASSERT_TRUE(found.ok());
    ASSERT_EQ(found.value().size(), 2);
    const ReleaseSummary& first = found.value()[0];
    EXPECT_EQ(first.title, "First");
    EXPECT_EQ(first.artist.name, "The Band");
    EXPECT_EQ(first.trackCount, 3);
    EXPECT_EQ(first.serviceScore, 90);
    EXPECT_EQ(first.format, "CD");
    EXPECT_EQ(first.label, "Small Label");

    const Release release = parsed(CannedLookup::release("Album", {{"One", "Two"}, {"Three"}}));
    EXPECT_EQ(release.summary.id, CannedLookup::releaseId);
    EXPECT_EQ(release.summary.format, "2×CD");
    EXPECT_EQ(release.summary.trackCount, 3);
    EXPECT_EQ(release.summary.releaseGroupId, CannedLookup::releaseGroupId);
    ASSERT_EQ(release.media.size(), 2);
    EXPECT_EQ(release.media[1].position, 2);
    const Track& featured = release.media[0].tracks[1];
    EXPECT_EQ(featured.artist.name, "The Band feat. Guest");
    EXPECT_EQ(featured.artist.sortName, "Band, The feat. Guest");
    EXPECT_EQ(featured.artist.artistIds, QStringList({CannedLookup::bandId, CannedLookup::guestId}));
    // A track without a credit of its own has the release's.
    EXPECT_EQ(release.media[1].tracks[0].artist.name, "The Band");
    EXPECT_EQ(release.media[1].tracks[0].lengthMs, 61000);
    EXPECT_EQ(release.media[1].tracks[0].recordingId, CannedLookup::recordingId(2, 1));

    const QByteArray listing = CannedLookup::coverListing(QUrl("http://images.test"));
    EXPECT_EQ(parseFrontCover(listing, CoverSize::medium).value(), QUrl("http://images.test/front-500.jpg"));
    EXPECT_EQ(parseFrontCover(listing, CoverSize::full).value(), QUrl("http://images.test/front.jpg"));
    EXPECT_EQ(
        parseFrontCover(R"({"images": [{"front": false, "image": "http://x.test/b.jpg"}]})", CoverSize::small)
            .value(),
        std::nullopt);
}

TEST(LookupParsingTest, RefusesAnswersThatAreNotWhatTheServiceDocuments) {
    EXPECT_FALSE(parseSearch("<html>busy</html>").ok());
    EXPECT_FALSE(parseSearch(R"({"releases": {}})").ok());
    EXPECT_FALSE(parseSearch(R"({"releases": [{"title": "no id"}]})").ok());
    const QByteArray good = CannedLookup::release("Album", {{"One"}});
    EXPECT_FALSE(parseRelease(good.left(good.size() / 2)).ok()); // cut off
    EXPECT_FALSE(parseRelease(QByteArray(good).replace("\"media\"", "\"medium\"")).ok());
    EXPECT_FALSE(
        parseRelease(QByteArray(good).replace("\"position\":1,\"recording\"", "\"recording\"")).ok());
    // A picture address the program would not fetch.
    EXPECT_FALSE(
        parseFrontCover(R"({"images": [{"front": true, "image": "file:///etc/passwd"}]})", CoverSize::full)
            .ok());
}

TEST(LookupParsingTest, NamesReleasesByAddressOrIdentifier) {
    const QString id = CannedLookup::releaseId;
    EXPECT_EQ(releaseIdFrom(id), id);
    EXPECT_EQ(releaseIdFrom(QStringLiteral("  ") + id.toUpper()), id);
    EXPECT_EQ(releaseIdFrom(QStringLiteral("https://musicbrainz.org/release/") + id), id);
    EXPECT_EQ(
        releaseIdFrom(QStringLiteral("https://musicbrainz.org/release/") + id + QStringLiteral("/discids")),
        id);
    EXPECT_EQ(releaseIdFrom(QStringLiteral("https://musicbrainz.org/release-group/") + id), std::nullopt);
    EXPECT_EQ(releaseIdFrom(QStringLiteral("https://musicbrainz.org/release/") + id + QStringLiteral("0")),
              std::nullopt);
    EXPECT_EQ(releaseIdFrom(u"The Band Album"), std::nullopt);

    EXPECT_EQ(searchQuery(QStringLiteral("The \"Band\""), QStringLiteral("A\\B"), 12),
              QStringLiteral(R"(release:"A\\B" AND artist:"The \"Band\"" AND tracks:12)"));
    const QUrl search = searchUrl(QUrl("http://mb.test/base/"), QStringLiteral("a&b c"));
    EXPECT_EQ(search.path(), "/base/ws/2/release");
    EXPECT_EQ(search.query(QUrl::FullyEncoded), "query=a%26b%20c&limit=10&fmt=json");
}

TEST(LookupMatchingTest, PairsFilesWithTracksWhateverTheirOrder) {
    const Release release = parsed(CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
    // Numbers alone, titles alone, and durations joined to close titles each find their track.
    const QList<AudioFile> files{fileWith("c.mp3", std::nullopt, "3"),
                                 fileWith("a.mp3", "intro!", std::nullopt),
                                 fileWith("b.mp3", "Sonq", std::nullopt, std::nullopt, 62)};
    EXPECT_EQ(labels(files, release), QStringList({"1-03 Outro", "1-01 Intro", "1-02 Song"}));
}

TEST(LookupMatchingTest, LeavesMissingTracksAndExtraFilesUnmatched) {
    const Release release = parsed(CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
    const QList<AudioFile> files{fileWith("1.mp3", "Intro", "1"), fileWith("3.mp3", "Outro", "3"),
                                 fileWith("bonus.mp3", "Hidden Jam", "9")};
    const ReleaseMatch match = matchFiles(files, release);
    EXPECT_EQ(labels(files, release), QStringList({"1-01 Intro", "1-03 Outro", "-"}));
    EXPECT_EQ(match.unmatchedFiles, QList<QUuid>{files[2].id()});
    const ReleasePreview preview = previewRelease(files, release, match);
    EXPECT_EQ(preview.unmatchedFiles, QStringList{"bonus.mp3"});
    EXPECT_EQ(preview.unmatchedTracks, QStringList{"1-02 Song"});
}

TEST(LookupMatchingTest, TellsDiscsApartByTheirNumbers) {
    const Release release = parsed(CannedLookup::release("Album", {{"Alpha", "Beta"}, {"Gamma", "Delta"}}));
    // Same track numbers on both discs, titles that say nothing: the disc numbers decide.
    const QList<AudioFile> files{fileWith("d2t1.mp3", "x", "1", "2"), fileWith("d1t2.mp3", "x", "2", "1"),
                                 fileWith("d2t2.mp3", "x", "2", "2"), fileWith("d1t1.mp3", "x", "1", "1")};
    EXPECT_EQ(labels(files, release), QStringList({"2-01 Gamma", "1-02 Beta", "2-02 Delta", "1-01 Alpha"}));
    // Without disc numbers the titles place them.
    const QList<AudioFile> undiscerned{fileWith("g.mp3", "Gamma", "1"), fileWith("a.mp3", "Alpha", "1")};
    EXPECT_EQ(labels(undiscerned, release), QStringList({"2-01 Gamma", "1-01 Alpha"}));
}

TEST(LookupMatchingTest, ReadsNumberAndTitleFromTheNamesOfUntaggedFiles) {
    const Release release = parsed(CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
    const QList<AudioFile> files{fileWith("02.mp3", std::nullopt, std::nullopt),
                                 fileWith("Outro.mp3", std::nullopt, std::nullopt),
                                 fileWith("1 - Whatever.mp3", std::nullopt, std::nullopt),
                                 // tags win over the name
                                 fileWith("01 - Intro.mp3", "Song", "2")};
    EXPECT_EQ(labels(files, release), QStringList({"-", "1-03 Outro", "1-01 Intro", "1-02 Song"}));
}

TEST(LookupMatchingTest, TakesEveryFieldFromTheTrackAndKeepsTheRest) {
    const Release release = parsed(CannedLookup::release("Album", {{"Intro", "Song"}, {"Outro"}}));
    TagSet tags;
    tags.genre = QStringLiteral("Rock");
    tags.comment = QStringLiteral("mine");
    tags.custom.insert(QStringLiteral("MUSICBRAINZ_RELEASEGROUPID"), QStringLiteral("stale"));
    tags.custom.insert(QStringLiteral("CATALOGNUMBER"), QStringLiteral("kept"));
    TagSet after = tagsFromTrack(tags, release, {0, 1});
    EXPECT_EQ(after.title, "Song");
    EXPECT_EQ(after.artist, "The Band feat. Guest");
    EXPECT_EQ(after.album, "Album");
    EXPECT_EQ(after.albumArtist, "The Band");
    EXPECT_EQ(after.year, "2003-05-12");
    EXPECT_EQ(after.trackNumber, "2");
    EXPECT_EQ(after.trackTotal, "2");
    EXPECT_EQ(after.discNumber, "1");
    EXPECT_EQ(after.discTotal, "2");
    EXPECT_EQ(after.genre, "Rock");
    EXPECT_EQ(after.comment, "mine");
    const QMap<QString, QString> expected{
        {"CATALOGNUMBER", "kept"},
        {"MUSICBRAINZ_ALBUMID", CannedLookup::releaseId},
        {"MUSICBRAINZ_RELEASEGROUPID", CannedLookup::releaseGroupId},
        {"MUSICBRAINZ_TRACKID", CannedLookup::recordingId(1, 2)},
        {"MUSICBRAINZ_RELEASETRACKID", CannedLookup::trackId(1, 2)},
        {"MUSICBRAINZ_ARTISTID", CannedLookup::bandId + "; " + CannedLookup::guestId},
        {"MUSICBRAINZ_ALBUMARTISTID", CannedLookup::bandId},
        {"ARTISTSORT", "Band, The feat. Guest"},
        {"ALBUMARTISTSORT", "Band, The"}};
    EXPECT_EQ(after.custom, expected);

    // What the release does not say is not left over from another: no group id, no date.
    Release bare = release;
    bare.summary.releaseGroupId.clear();
    bare.summary.date.clear();
    tags.year = QStringLiteral("1999");
    after = tagsFromTrack(tags, bare, {1, 0});
    EXPECT_FALSE(after.custom.contains("MUSICBRAINZ_RELEASEGROUPID"));
    EXPECT_EQ(after.year, "1999");
    EXPECT_EQ(after.discNumber, "2");
    EXPECT_EQ(after.trackTotal, "1");
}

TEST(LookupMatchingTest, RanksTheReleaseThatFitsTheFilesFirst) {
    const SearchTerms terms{QStringLiteral("The Band"), QStringLiteral("Album"), 3};
    const ReleaseSummary fitting{
        CannedLookup::releaseId, "Album", {"The Band", {}, {}}, {}, {}, {}, {}, {}, {}, 3, 1, 60};
    ReleaseSummary deluxe = fitting;
    deluxe.title = QStringLiteral("Album (Deluxe Edition)");
    deluxe.trackCount = 20;
    deluxe.serviceScore = 100;
    ReleaseSummary other = fitting;
    other.artist.name = QStringLiteral("Someone Else");
    other.serviceScore = 100;
    EXPECT_GT(candidateScore(fitting, terms), candidateScore(deluxe, terms));
    EXPECT_GT(candidateScore(fitting, terms), candidateScore(other, terms));
    EXPECT_EQ(candidateScore(fitting, SearchTerms{}), 60); // nothing to compare: the service's word
}

} // namespace
