// Saves of files other taggers wrote in forms TagLib does not write back as
// they were: a one-field save changes that field, keeps every other value,
// and leaves every frame, atom and block it does not convert byte for byte.
// Another reader (mutagen, through Tests/Support/tagdump) checks the result.
#include "BridgeTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cctype>

using namespace BridgeTest;
using TestSupport::ScopedFileCopy;

namespace {

quint32 syncSafe(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (qsizetype i = at; i < at + 4; ++i)
        value = value << 7 | (static_cast<unsigned char>(bytes[i]) & 0x7F);
    return value;
}

// Frame IDs and bodies of the ID3v2 tag at offset in bytes (ID3v2.2, 2.3 or 2.4).
std::vector<std::pair<QByteArray, QByteArray>> id3Frames(const QByteArray& bytes, qsizetype offset = 0) {
    const int version = bytes[offset + 3];
    const int idSize = version == 2 ? 3 : 4;
    const int headerSize = version == 2 ? 6 : 10;
    std::vector<std::pair<QByteArray, QByteArray>> frames;
    const QByteArray body = bytes.mid(offset + 10, syncSafe(bytes, offset + 6));
    for (qsizetype pos = 0; pos + headerSize <= body.size() && body[pos] != '\0';) {
        const quint32 plain = qFromBigEndian<quint32>(body.constData() + pos + idSize);
        const qsizetype size = version == 2 ? plain >> 8 : version == 3 ? plain : syncSafe(body, pos + 4);
        frames.emplace_back(body.mid(pos, idSize), body.mid(pos + headerSize, size));
        pos += headerSize + size;
    }
    return frames;
}

QByteArray bodyOf(const std::vector<std::pair<QByteArray, QByteArray>>& frames, const char* id) {
    for (const auto& [frameId, body] : frames) {
        if (frameId == id)
            return body;
    }
    return {};
}

// The tagdump items of the fixture and of the saved copy, whose audio must
// be the same (or that of sameAudioAs, when the fixture holds more than audio
// where the audio is).
std::pair<QJsonObject, QJsonObject> dumpsOf(const QString& fixture, const ScopedFileCopy& copy,
                                            const QString& sameAudioAs = {}) {
    QString error;
    const QList<QJsonObject> dumps = TestSupport::independentTagDump(
        {TestSupport::fixturePath(sameAudioAs.isEmpty() ? fixture : sameAudioAs),
         TestSupport::fixturePath(fixture), copy.path()},
        &error);
    if (dumps.size() != 3) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    EXPECT_EQ(dumps[0]["audio_md5"].toString(), dumps[2]["audio_md5"].toString());
    return {dumps[1]["items"].toObject(), dumps[2]["items"].toObject()};
}

// Only the genre changes.
Tags genre(const char* text) {
    Tags tags;
    tags.genre = text;
    return tags;
}

int writeGenre(const ScopedFileCopy& copy, const char* text = "Changed Genre") {
    return write(copy.nativePath(), genre(text), std::nullopt, CTAGLIB_FIELD_GENRE);
}

// ---- ID3v2.2 ----

// An ID3v2.2 tag becomes ID3v2.3 (where every ID3v2.2 frame has an
// equivalent with the same contents), so that RVA and every frame behind it
// stay readable, with their bytes.
TEST(CTagLibLosslessWrite, AnId3v22TagBecomesId3v23WithEveryFrameKept) {
    const ScopedFileCopy copy("itunes-v22.mp3");
    const auto before = id3Frames(copy.bytes());
    ASSERT_EQ(writeGenre(copy), 0);
    const QByteArray saved = copy.bytes();
    ASSERT_EQ(saved.left(4), QByteArray("ID3\3"));
    const auto after = id3Frames(saved);

    const std::vector<std::pair<const char*, const char*>> renamed = {
        {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"RVA", "RVAD"}, {"COM", "COMM"}, {"TT3", "TIT3"},
        {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"TCP", "TCMP"}, {"TYE", "TYER"}, {"TRK", "TRCK"}, {"TXX", "TXXX"}};
    for (const auto& [old, now] : renamed)
        EXPECT_EQ(bodyOf(after, now), bodyOf(before, old)) << now;
    // The picture's format becomes a MIME type; its bytes stay.
    const QByteArray pic = bodyOf(before, "PIC");
    EXPECT_EQ(bodyOf(after, "APIC"), QByteArray("\0image/jpeg\0", 12) + pic.mid(4));
    EXPECT_EQ(after.size(), before.size() + 1); // and the genre
    for (const auto& [id, body] : after)        // no three-letter ID in the new tag
        EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](char c) {
            return std::isupper(c) || std::isdigit(c);
        })) << id.toStdString();

    const auto [original, written] = dumpsOf("itunes-v22.mp3", copy);
    for (const QString& key : original.keys()) {
        if (key != u"ID3:version" && !key.startsWith(u"ID3:APIC")) {
            EXPECT_EQ(written[key], original[key]) << key.toStdString();
        }
    }
    EXPECT_EQ(written["ID3:version"].toString(), "2.3");
    EXPECT_TRUE(written["ID3:TCON"].toString().contains("Changed Genre"));
    EXPECT_STREQ(read(copy.nativePath())->title, "iTunes Title");
}

// What cannot be kept is not saved, and the file stays as it was: a frame no
// later ID3v2 version has (CRM, -8 "unsupported variant"), two ID3 chunks in
// one AIFF file (-3 "two tags of one kind").
TEST(CTagLibLosslessWrite, WhatCannotBeKeptRefusesTheSave) {
    for (const auto& [fixture, refusal] :
         {std::pair("v22-crm.mp3", -8), std::pair("two-id3-chunks.aiff", -3)}) {
        SCOPED_TRACE(fixture);
        const ScopedFileCopy copy(fixture);
        const QByteArray before = copy.bytes();
        EXPECT_EQ(writeGenre(copy), refusal);
        EXPECT_EQ(copy.bytes(), before);
    }
}

// ---- Two ID3v2 tags ----

// Readers show the first of two tags stored one behind the other; the save
// keeps its frames and adds the second tag's frames the first has no frame
// of the same kind for.
TEST(CTagLibLosslessWrite, ASecondTagBehindTheFirstIsMergedIntoIt) {
    const ScopedFileCopy copy("two-id3-tags.mp3");
    const QByteArray fixture = copy.bytes();
    const auto first = id3Frames(fixture);
    const qsizetype secondAt = fixture.indexOf("ID3", 10);
    ASSERT_GT(secondAt, 0);
    const auto second = id3Frames(fixture, secondAt);
    ASSERT_EQ(writeGenre(copy), 0);
    const QByteArray saved = copy.bytes();
    EXPECT_EQ(saved.indexOf("ID3", 10), -1);
    const auto after = id3Frames(saved);
    for (const char* id : {"TIT2", "TPE1"})
        EXPECT_EQ(bodyOf(after, id), bodyOf(first, id)) << id;
    for (const char* id : {"TALB", "TXXX", "UFID", "APIC"})
        EXPECT_EQ(bodyOf(after, id), bodyOf(second, id)) << id;
    EXPECT_EQ(after.size(), 7u);

    const auto [original, written] = dumpsOf("two-id3-tags.mp3", copy);
    EXPECT_EQ(written["ID3:TIT2"], original["ID3:TIT2"]);
    EXPECT_TRUE(written["ID3:TALB"].toString().contains("Second Album"));
    EXPECT_TRUE(written.contains("ID3:UFID:http://musicbrainz.org"));
    EXPECT_TRUE(written.contains("ID3:APIC:Cover"));
}

// A tag appended after the audio (which readers do not look for) is merged
// into the one at the start and removed; the ID3v1 tag stays last.
TEST(CTagLibLosslessWrite, AnAppendedTagIsMergedIntoTheTagAtTheStart) {
    const ScopedFileCopy copy("appended-id3-tag.mp3");
    const QByteArray fixture = copy.bytes();
    ASSERT_EQ(writeGenre(copy), 0);
    const QByteArray saved = copy.bytes();
    EXPECT_EQ(saved.right(128).left(127), fixture.right(128).left(127)); // all but the genre
    EXPECT_EQ(saved.indexOf("3DI"), -1);
    EXPECT_EQ(saved.indexOf("ID3", 10), -1);
    const auto after = id3Frames(saved);
    EXPECT_EQ(after.front().first, "TIT2");
    EXPECT_EQ(after.size(), 5u);

    // The fixture's appended tag is no audio, though it stands where audio is.
    const auto [original, written] = dumpsOf("appended-id3-tag.mp3", copy, "two-id3-tags.mp3");
    EXPECT_EQ(written["ID3:TIT2"], original["ID3:TIT2"]); // the tag at the start wins
    EXPECT_TRUE(written["ID3:TALB"].toString().contains("Appended Album ✓"));
    EXPECT_TRUE(written["ID3:TXXX:MusicBrainz Album Id"].toString().contains("000000000004"));
    EXPECT_TRUE(written.contains("ID3:APIC:"));
    for (const QString& key : original.keys()) {
        if (key.startsWith(u"ID3v1:") && key != u"ID3v1:genre") {
            EXPECT_EQ(written[key], original[key]) << key.toStdString();
        }
    }

    // Without a tag at the start, the appended one moves there, in its version.
    const ScopedFileCopy alone("appended-id3-tag.mp3");
    {
        QFile file(alone.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(fixture.mid(10 + syncSafe(fixture, 6)));
    }
    ASSERT_FALSE(alone.bytes().startsWith("ID3"));
    ASSERT_EQ(writeGenre(alone), 0);
    const QByteArray moved = alone.bytes();
    EXPECT_EQ(moved.left(4), QByteArray("ID3\4"));
    EXPECT_EQ(moved.indexOf("3DI"), -1);
    EXPECT_EQ(id3Frames(moved).size(), 5u);
}

// ---- ID3v1 ----

// ID3v1 holds Latin-1 only: a value beyond it gets its nearest Latin-1
// letters, never an empty field.
TEST(CTagLibLosslessWrite, Id3v1GetsTheNearestLatin1TextOfANewValue) {
    const ScopedFileCopy copy("id3v1-only.mp3");
    Tags tags;
    tags.title = "Dvořák ☕";
    tags.artist = "Café";
    tags.album = "Дворжак";
    ASSERT_EQ(write(copy.nativePath(), tags, std::nullopt,
                    CTAGLIB_FIELD_TITLE | CTAGLIB_FIELD_ARTIST | CTAGLIB_FIELD_ALBUM),
              0);
    const QByteArray v1 = copy.bytes().right(128);
    ASSERT_TRUE(v1.startsWith("TAG"));
    EXPECT_EQ(v1.mid(3, 30), QByteArray("Dvorak ?").leftJustified(30, '\0'));
    EXPECT_EQ(v1.mid(33, 30), QByteArray("Caf\xe9").leftJustified(30, '\0'));
    EXPECT_EQ(v1.mid(63, 30), QByteArray("Dvorzak").leftJustified(30, '\0'));
    EXPECT_STREQ(read(copy.nativePath())->title, "Dvořák ☕"); // ID3v2 keeps all of it
}

// ---- Vorbis comments ----

QSet<QString> changedKeys(const QJsonObject& before, const QJsonObject& after) {
    QSet<QString> changed;
    for (const QString& key : before.keys() + after.keys()) {
        if (before.value(key) != after.value(key))
            changed.insert(key);
    }
    return changed;
}

// Pictures the user did not touch keep their fields as stored: the legacy
// COVERART field of Ogg Vorbis, and a picture inside a FLAC file's comment.
TEST(CTagLibLosslessWrite, UntouchedPicturesInAVorbisCommentKeepTheirFields) {
    for (const char* fixture : {"coverart.ogg", "pictures.flac"}) {
        SCOPED_TRACE(fixture);
        const ScopedFileCopy copy(fixture);
        ASSERT_EQ(writeGenre(copy), 0);
        const auto [original, written] = dumpsOf(fixture, copy);
        EXPECT_EQ(changedKeys(original, written), QSet<QString>{"VC:GENRE"});
    }
    // A new picture replaces the legacy one.
    const ScopedFileCopy copy("coverart.ogg");
    ASSERT_EQ(write(copy.nativePath(), {}, std::vector<NewPicture>{twoPictures().front()}, 0), 0);
    const auto [original, written] = dumpsOf("coverart.ogg", copy);
    EXPECT_FALSE(written.contains("VC:COVERART"));
    EXPECT_FALSE(written.contains("VC:COVERARTMIME"));
    EXPECT_EQ(picturesOf(*read(copy.nativePath())), std::vector<ReadPicture>{asRead(twoPictures().front())});
}

// Readers show the first of two comment blocks; the second one's fields are
// merged into it where it has none of their key, and the file has one block.
TEST(CTagLibLosslessWrite, ASecondFlacCommentBlockIsMergedIntoTheFirst) {
    const ScopedFileCopy copy("two-comments.flac");
    ASSERT_EQ(writeGenre(copy), 0);
    const QByteArray saved = copy.bytes();
    int commentBlocks = 0;
    for (qsizetype pos = 4; pos + 4 <= saved.size();) {
        commentBlocks += (saved[pos] & 0x7F) == 4;
        if (saved[pos] & 0x80)
            break;
        pos += 4 + (qFromBigEndian<quint32>(saved.constData() + pos) & 0xFFFFFF);
    }
    EXPECT_EQ(commentBlocks, 1);
    const auto [original, written] = dumpsOf("two-comments.flac", copy);
    EXPECT_EQ(changedKeys(original, written),
              (QSet<QString>{"VC:GENRE", "VC:ALBUM", "VC:MUSICBRAINZ_ALBUMID"}));
    EXPECT_EQ(written["VC:TITLE"], original["VC:TITLE"]);
    EXPECT_EQ(written["VC:ALBUM"].toString(), R"(["Second Album"])");
    EXPECT_EQ(written["VC:MUSICBRAINZ_ALBUMID"].toString(), R"(["0b1e3c5a-0000-4000-8000-000000000005"])");
}

// ---- MP4 ----

// The item atoms of an MP4 file's moov/udta/meta/ilst, as stored.
std::vector<QByteArray> mp4Items(const QByteArray& file) {
    const auto child = [&](qsizetype begin, qsizetype end,
                           const char* name) -> std::pair<qsizetype, qsizetype> {
        for (qsizetype pos = begin; pos + 8 <= end;) {
            const qsizetype size = qFromBigEndian<quint32>(file.constData() + pos);
            if (size < 8)
                break;
            if (file.mid(pos + 4, 4) == name)
                return {pos, size};
            pos += size;
        }
        return {-1, 0};
    };
    auto [moov, moovSize] = child(0, file.size(), "moov");
    auto [udta, udtaSize] = child(moov + 8, moov + moovSize, "udta");
    auto [meta, metaSize] = child(udta + 8, udta + udtaSize, "meta");
    auto [ilst, ilstSize] = child(meta + 12, meta + metaSize, "ilst");
    std::vector<QByteArray> items;
    for (qsizetype pos = ilst + 8; ilst >= 0 && pos + 8 <= ilst + ilstSize;) {
        const qsizetype size = qFromBigEndian<quint32>(file.constData() + pos);
        items.push_back(file.mid(pos, size));
        pos += std::max<qsizetype>(size, 8);
    }
    return items;
}

// Free-form atoms with ":" in their names, a NUL byte, bytes that are not
// UTF-8 or bytes behind iTunNORM's text, and a cover with a "name" child, keep
// their bytes and places when another item changes.
TEST(CTagLibLosslessWrite, UntouchedMp4AtomsKeepTheirBytes) {
    const ScopedFileCopy copy("freeform.m4a");
    const std::vector<QByteArray> before = mp4Items(copy.bytes());
    ASSERT_EQ(before.size(), 6u);
    ASSERT_EQ(writeGenre(copy), 0);
    std::vector<QByteArray> after = mp4Items(copy.bytes());
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back().mid(4, 4), "\xa9gen");
    after.pop_back();
    EXPECT_EQ(after, before);
    const auto [original, written] = dumpsOf("freeform.m4a", copy);
    EXPECT_EQ(changedKeys(original, written), QSet<QString>{"MP4:\u00a9gen"});

    // A changed item takes its old place; the others stay.
    Tags title;
    title.title = "Neu ✓";
    ASSERT_EQ(write(copy.nativePath(), title, std::nullopt, CTAGLIB_FIELD_TITLE), 0);
    after = mp4Items(copy.bytes());
    ASSERT_EQ(after.size(), before.size() + 1);
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i].mid(4, 4) == "\xa9nam")
            EXPECT_TRUE(after[i].endsWith("Neu ✓"));
        else
            EXPECT_EQ(after[i], before[i]) << i;
    }
    EXPECT_STREQ(read(copy.nativePath())->title, "Neu ✓");
}

} // namespace

// A tag that grows is written over a placeholder the save finds again in the
// file, from the end where the tag is stored there. Whatever the new tag's
// size, the placeholder is found: TagLib's own backward search reads blocks
// of 1,024 bytes that do not overlap and misses a marker across two of them,
// which left the placeholder in the file and failed the save.
TEST(CTagLibLosslessWrite, AGrowingTagAtTheEndOfTheFileIsWrittenWhateverItsSize) {
    for (const char* fixture : {"tagged.wav", "tagged.aiff", "tagged.dsf"}) {
        const ScopedFileCopy copy(QString::fromUtf8(fixture));
        const QByteArray path = QFile::encodeName(copy.path());
        // Steps of 8 bytes meet every window of 16 the marker can straddle.
        for (int length = 200; length < 200 + 1100; length += 8) {
            Tags tags;
            tags.title = std::string(static_cast<size_t>(length), 'x');
            ASSERT_EQ(write(path, tags, {}, CTAGLIB_FIELD_TITLE), CTAGLIB_OK) << fixture << ", " << length;
            ASSERT_EQ(tagsOf(*read(path)).title, tags.title) << fixture << ", " << length;
        }
    }
}
