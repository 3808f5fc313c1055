#include "QuireCore/AudioFile.h"

#include <gtest/gtest.h>

namespace {

QUrl fileUrl(const char* path) {
    return QUrl::fromLocalFile(QString::fromUtf8(path));
}

Artwork picture(const QByteArray& bytes, std::optional<QString> description = std::nullopt) {
    Artwork artwork =
        Artwork::holding(bytes, ImageFormat::jpeg, ArtworkType::frontCover, std::move(description));
    artwork.width = artwork.height = 600;
    return artwork;
}

AudioFile makeFile(const char* path, TagSet tags = {}, QList<Artwork> artwork = {}) {
    const QUrl url = fileUrl(path);
    return AudioFile(QUuid::createUuid(), url, detectAudioFormat(url).value_or(AudioFormat::mp3),
                     std::nullopt, AudioProperties{183.4, 320, 44100, 2, QStringLiteral("MPEG")},
                     std::move(tags), std::move(artwork));
}

TEST(AudioFormatDetection, OnlyTheLastExtensionCountsAndCaseIsIgnored) {
    const std::pair<const char*, std::optional<AudioFormat>> cases[] = {{"/m/Live.Set.MP3", AudioFormat::mp3},
                                                                        {"/m/a.aif", AudioFormat::aiff},
                                                                        {"/m/a.AIFF", AudioFormat::aiff},
                                                                        {"/m/Track.FLAC", AudioFormat::flac},
                                                                        {"/m/x.dff", AudioFormat::dsdiff},
                                                                        {"/m/x.m4b", AudioFormat::m4b},
                                                                        {"/m/x.dsdiff", std::nullopt},
                                                                        {"/m/x.mp4", std::nullopt},
                                                                        {"/m/x.oga", std::nullopt},
                                                                        {"/m/noextension", std::nullopt},
                                                                        {"/m/.mp3.d/file", std::nullopt},
                                                                        {"/m/trailingdot.", std::nullopt}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(detectAudioFormat(fileUrl(path)), expected) << path;
    EXPECT_EQ(supportedAudioExtensions().size(), 11);
}

TEST(AudioFileRecord, ContainerDefaultsFromTheFormat) {
    EXPECT_EQ(makeFile("/m/a.aiff").tagContainer(), TagContainer::id3v2);
    EXPECT_EQ(makeFile("/m/a.wav").tagContainer(), TagContainer::riff);
    EXPECT_EQ(makeFile("/m/a.opus").tagContainer(), TagContainer::vorbis);
    const AudioFile explicitContainer(QUuid::createUuid(), fileUrl("/m/a.wav"), AudioFormat::wav,
                                      TagContainer::id3v2, {}, {}, {});
    EXPECT_EQ(explicitContainer.tagContainer(), TagContainer::id3v2);
}

TEST(AudioFileRecord, NamesAndSortKeys) {
    const AudioFile file = makeFile("/music/Some Album/01 Song.name.mp3");
    EXPECT_EQ(file.filename(), QStringLiteral("01 Song.name.mp3"));
    EXPECT_EQ(file.filenameWithoutExtension(), QStringLiteral("01 Song.name"));
    EXPECT_EQ(file.sortTitle(), QString());
    EXPECT_EQ(file.sortTrack(), 0); // absent sorts with track 0
    EXPECT_EQ(file.sortFormat(), QStringLiteral("mp3"));
    const AudioFileRow row{file};
    EXPECT_EQ(row.format(), QStringLiteral("MP3"));
    EXPECT_EQ(row.duration(), QStringLiteral("3:03"));
    EXPECT_EQ(row.bitrate(), QStringLiteral("320 kbps"));
    EXPECT_EQ(row.sampleRate(), QStringLiteral("44.1 kHz"));
}

TEST(AudioFileRecord, CopiesShareStorageUntilChanged) {
    QList<AudioFile> library;
    for (int i = 0; i < 100; ++i)
        library.append(makeFile("/m/a.mp3", TagSet{.title = QStringLiteral("Song %1").arg(i)},
                                {picture(QByteArray(4096, 'x'))}));
    QList<AudioFile> snapshot = library;
    snapshot.detach(); // a separate list, as an undo step keeps it
    for (qsizetype i = 0; i < library.size(); ++i)
        EXPECT_TRUE(snapshot[i].sharesStorageWith(library[i]));

    TagSet tags = library[5].tags();
    tags.title = QStringLiteral("Changed");
    library[5].setTags(tags);
    library[6].setModified(false); // unchanged: must not copy the record
    EXPECT_FALSE(snapshot[5].sharesStorageWith(library[5]));
    EXPECT_TRUE(snapshot[6].sharesStorageWith(library[6]));
    EXPECT_EQ(snapshot[5].tags().title, QStringLiteral("Song 5"));
    EXPECT_NE(snapshot[5], library[5]);
    // The changed record still shares the picture bytes.
    EXPECT_EQ(snapshot[5].artwork()[0].data.constData(), library[5].artwork()[0].data.constData());
}

TEST(AudioFileRecord, EqualityComparesEveryMember) {
    const AudioFile original = makeFile("/m/a.mp3", TagSet{.title = QStringLiteral("T")});
    AudioFile copy = original;
    copy.setModified(true);
    EXPECT_NE(copy, original);
    copy.setModified(false);
    EXPECT_EQ(copy, original); // equal values in separate storage
    copy.setLastSaved(QDateTime::currentDateTimeUtc());
    EXPECT_NE(copy, original);
    AudioFile moved = original;
    moved.setUrl(fileUrl("/m/b.mp3"));
    EXPECT_NE(moved, original);
}

TEST(AudioFileBatch, BatchArtworkComparesPicturesNotRecords) {
    const QByteArray bytes("\xFF\xD8\xFF picture");
    Artwork first = picture(bytes, QStringLiteral("cover"));
    Artwork sameOtherRecord = picture(QByteArray(bytes.constData(), bytes.size()), QStringLiteral("cover"));
    sameOtherRecord.sizeBytes = 99;
    const AudioFile a = makeFile("/m/a.mp3", {}, {first});
    const AudioFile b = makeFile("/m/b.mp3", {}, {sameOtherRecord});
    ASSERT_NE(first, sameOtherRecord);
    const auto common = AudioFile::batchArtwork({a, b});
    ASSERT_TRUE(common.has_value());
    EXPECT_EQ(common->first().id, first.id); // the first file's list

    Artwork emptyDescription = picture(bytes, QString());
    Artwork noDescription = picture(bytes);
    EXPECT_FALSE(AudioFile::batchArtwork(
        {makeFile("/m/a.mp3", {}, {emptyDescription}), makeFile("/m/b.mp3", {}, {noDescription})}));
    Artwork backCover = first;
    backCover.type = ArtworkType::backCover;
    EXPECT_FALSE(AudioFile::batchArtwork({a, makeFile("/m/b.mp3", {}, {backCover})}));
    EXPECT_FALSE(AudioFile::batchArtwork({a, makeFile("/m/b.mp3", {}, {first, first})}));
    EXPECT_FALSE(AudioFile::batchArtwork({}));
    // One file: its list, even when empty.
    const auto single = AudioFile::batchArtwork({makeFile("/m/c.mp3")});
    ASSERT_TRUE(single.has_value());
    EXPECT_TRUE(single->isEmpty());
}

TEST(AudioFileBatch, BatchTagsMergesInListOrder) {
    const AudioFile a =
        makeFile("/m/a.mp3", TagSet{.artist = QStringLiteral("X"), .album = QStringLiteral("A")});
    const AudioFile b =
        makeFile("/m/b.mp3", TagSet{.artist = QStringLiteral("X"), .album = QStringLiteral("B")});
    const TagSet common = AudioFile::batchTags({a, b});
    EXPECT_EQ(common.artist, QStringLiteral("X"));
    EXPECT_EQ(common.album, std::nullopt);
}

TEST(AudioPropertiesText, DurationSampleRateAndChannelsAtTheirBoundaries) {
    const std::pair<double, const char*> durations[] = {
        {0, "0:00"},       {59.999, "0:59"},    {187, "3:07"}, {3599.5, "59:59"},
        {3600, "1:00:00"}, {43389, "12:03:09"}, {-4, "0:00"}};
    for (const auto& [seconds, text] : durations)
        EXPECT_EQ(AudioProperties{.duration = seconds}.formattedDuration(), QString::fromUtf8(text))
            << seconds;
    EXPECT_EQ(AudioProperties{.duration = 1e300}.formattedDuration().isEmpty(), false);

    const std::pair<qint64, const char*> rates[] = {
        {44100, "44.1 kHz"}, {48000, "48.0 kHz"}, {22050, "22.1 kHz"}, {0, "0.0 kHz"}};
    for (const auto& [rate, text] : rates)
        EXPECT_EQ(AudioProperties{.sampleRate = rate}.formattedSampleRate(), QString::fromUtf8(text));

    const std::pair<qint64, const char*> channels[] = {{1, "Mono"}, {2, "Stereo"}, {3, "3ch"}, {4, "4ch"},
                                                       {6, "5.1"},  {8, "7.1"},    {0, "0ch"}};
    for (const auto& [count, text] : channels)
        EXPECT_EQ(AudioProperties{.channels = count}.formattedChannels(), QString::fromUtf8(text));
    EXPECT_EQ(AudioProperties{.bitrate = 0}.formattedBitrate(), QStringLiteral("0 kbps"));
}

TEST(AudioFileJson, RoundTripAndRequiredKeys) {
    AudioFile file = makeFile("/music/Ünï cødé/01 #1 ?.flac",
                              TagSet{.title = QStringLiteral("T"), .trackNumber = QStringLiteral("1")},
                              {picture("bytes", QStringLiteral("d")), picture("more")});
    file.setModified(true);
    file.setLastSaved(QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC));
    const Decoded<AudioFile> decoded = decodeJson<AudioFile>(encodeJson(file));
    ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
    EXPECT_EQ(decoded.value(), file);
    EXPECT_EQ(decoded.value().url().toLocalFile(), QStringLiteral("/music/Ünï cødé/01 #1 ?.flac"));

    QJsonObject json = file.toJson();
    json.remove(QStringLiteral("lastSaved"));
    const Decoded<AudioFile> neverSaved = AudioFile::fromJson(json);
    ASSERT_TRUE(neverSaved.ok());
    EXPECT_EQ(neverSaved.value().lastSaved(), std::nullopt);

    for (const char* key :
         {"id", "url", "format", "tagContainer", "properties", "tags", "artwork", "isModified"}) {
        QJsonObject missing = file.toJson();
        missing.remove(QLatin1String(key));
        const Decoded<AudioFile> result = AudioFile::fromJson(missing);
        EXPECT_FALSE(result.ok()) << key;
        EXPECT_TRUE(result.error().message.contains(QLatin1String(key)))
            << result.error().message.toStdString();
    }
    QJsonObject badFormat = file.toJson();
    badFormat.insert(QStringLiteral("format"), QStringLiteral("mp4"));
    EXPECT_FALSE(AudioFile::fromJson(badFormat).ok());
    QJsonObject nestedMissing = file.toJson();
    QJsonObject properties = nestedMissing.value(QStringLiteral("properties")).toObject();
    properties.remove(QStringLiteral("codec"));
    nestedMissing.insert(QStringLiteral("properties"), properties);
    EXPECT_FALSE(AudioFile::fromJson(nestedMissing).ok());
}

} // namespace
