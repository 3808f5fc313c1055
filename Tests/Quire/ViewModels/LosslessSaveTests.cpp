// Saves of files tagged by another program, checked by another program: a save
// changes what the user changed and nothing else.
#include "DocumentTestSupport.h"

#include "CTagLibBridge.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

// The items (keys of the tagdump tool) that may hold a field, in any container.
QSet<QString> itemsOf(TagField field) {
    switch (field) {
    case TagField::title:
        return {"ID3:TIT2", "ID3v1:title", "INFO:INAM", "MP4:\u00a9nam", "VC:TITLE"};
    case TagField::artist:
        return {"ID3:TPE1", "ID3v1:artist", "INFO:IART", "MP4:\u00a9ART", "VC:ARTIST"};
    case TagField::album:
        return {"ID3:TALB", "ID3v1:album", "INFO:IPRD", "MP4:\u00a9alb", "VC:ALBUM"};
    case TagField::albumArtist:
        return {"ID3:TPE2", "MP4:aART", "VC:ALBUMARTIST"};
    case TagField::composer:
        return {"ID3:TCOM", "MP4:\u00a9wrt", "VC:COMPOSER"};
    case TagField::genre:
        return {"ID3:TCON", "ID3v1:genre", "INFO:IGNR", "MP4:\u00a9gen", "MP4:gnre", "VC:GENRE"};
    case TagField::year:
        return {"ID3:TDRC",  "ID3:TYER",      "ID3:TDAT", "ID3:TIME", "ID3v1:year",
                "INFO:ICRD", "MP4:\u00a9day", "VC:DATE",  "VC:YEAR"};
    case TagField::trackNumber:
    case TagField::trackTotal:
        return {"ID3:TRCK", "ID3v1:track",    "INFO:IPRT",    "INFO:ITRK",
                "MP4:trkn", "VC:TRACKNUMBER", "VC:TRACKTOTAL"};
    case TagField::discNumber:
    case TagField::discTotal:
        return {"ID3:TPOS", "MP4:disk", "VC:DISCNUMBER", "VC:DISCTOTAL"};
    case TagField::bpm:
        return {"ID3:TBPM", "MP4:tmpo", "VC:BPM"};
    case TagField::comment:
        return {"ID3:COMM::eng", "ID3v1:comment", "INFO:ICMT",
                "MP4:\u00a9cmt", "VC:COMMENT",    "VC:DESCRIPTION"};
    case TagField::lyrics:
        return {"ID3:USLT::eng", "MP4:\u00a9lyr", "VC:LYRICS"};
    case TagField::grouping:
        return {"ID3:TIT1", "MP4:\u00a9grp", "VC:GROUPING"};
    case TagField::compilation:
        return {"ID3:TCMP", "MP4:cpil", "VC:COMPILATION"};
    }
    return {};
}

bool isPictureItem(const QString& key) {
    return key.startsWith(u"ID3:APIC") || key == u"MP4:covr" || key == u"VC:METADATA_BLOCK_PICTURE" ||
           key.startsWith(u"FLAC:picture:");
}

// A value unlike every fixture's.
QString newValue(TagField field) {
    switch (field) {
    case TagField::year:
        return QStringLiteral("2024");
    case TagField::trackNumber:
        return QStringLiteral("7");
    case TagField::trackTotal:
        return QStringLiteral("9");
    case TagField::discNumber:
        return QStringLiteral("2");
    case TagField::discTotal:
        return QStringLiteral("3");
    case TagField::bpm:
        return QStringLiteral("140");
    case TagField::compilation:
        return QStringLiteral("0");
    default:
        return QStringLiteral("Neu ✓ ") + displayName(field);
    }
}

// The items whose text differs between two dumps, including added and removed ones.
QSet<QString> changedItems(const QJsonObject& before, const QJsonObject& after) {
    const QJsonObject a = before["items"].toObject();
    const QJsonObject b = after["items"].toObject();
    QSet<QString> changed;
    for (const QString& key : a.keys() + b.keys()) {
        if (a.value(key) != b.value(key))
            changed.insert(key);
    }
    return changed;
}

QString describe(const QSet<QString>& keys) {
    QStringList sorted(keys.begin(), keys.end());
    sorted.sort();
    return sorted.join(u", ");
}

class LosslessSave : public testing::TestWithParam<const char*> {};

TEST_P(LosslessSave, EachFieldAloneChangesOnlyItsOwnItems) {
    const QString fixture = QString::fromUtf8(GetParam());
    const QString extension = fixture.section(u'.', -1);
    const bool dsdiff = extension == u"dff"; // keeps only the generic fields and no pictures
    const QSet<TagField> generic = {TagField::title,      TagField::artist,  TagField::album,
                                    TagField::genre,      TagField::comment, TagField::year,
                                    TagField::trackNumber};

    Library library;
    QStringList names;
    for (TagField field : allTagFields)
        names.append(rawValue(field) + u'.' + extension);
    names.append(QStringLiteral("pictures.") + extension);
    for (const QString& name : names)
        library.add(name, fixture);
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    ASSERT_EQ(document.files().size(), names.size());
    for (TagField field : allTagFields)
        document.editField(field, newValue(field), fileNamed(document, names[static_cast<int>(field)]).id());
    document.setSelectedFiles({fileNamed(document, names.last()).id()});
    document.artworkOperations().removeArtwork();
    document.saveAll();
    waitForSave(document);
    ASSERT_EQ(noticeText(document), std::nullopt);

    QStringList paths = {TestSupport::fixturePath(fixture)};
    for (const QString& name : names)
        paths.append(library.path(name));
    QString error;
    const QList<QJsonObject> dumps = TestSupport::independentTagDump(paths, &error);
    ASSERT_EQ(dumps.size(), paths.size()) << error;
    const QJsonObject& original = dumps.first();

    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const QJsonObject& saved = dumps[i + 1];
        EXPECT_EQ(saved["audio_md5"], original["audio_md5"]);
        const QSet<QString> changed = changedItems(original, saved);
        if (i == names.size() - 1) {
            QJsonArray containers; // less FLAC's picture blocks
            for (const QJsonValue& kind : original["containers"].toArray()) {
                if (kind.toString() != u"FLAC pictures")
                    containers.append(kind);
            }
            EXPECT_EQ(saved["containers"].toArray(), containers);
            for (const QString& key : changed)
                EXPECT_TRUE(isPictureItem(key)) << key;
            EXPECT_EQ(changed.isEmpty(), dsdiff) << describe(changed);
            continue;
        }
        EXPECT_EQ(saved["containers"], original["containers"]);
        const TagField field = allTagFields[static_cast<size_t>(i)];
        const QSet<QString> allowed = itemsOf(field);
        EXPECT_TRUE(allowed.contains(changed)) << "changed: " << describe(changed);
        EXPECT_EQ(changed.isEmpty(), dsdiff && !generic.contains(field)) << describe(changed);
    }
}

INSTANTIATE_TEST_SUITE_P(RichFiles, LosslessSave,
                         testing::Values("rich.mp3", "rich-v24.mp3", "rich.m4a", "rich.flac", "rich.ogg",
                                         "rich.opus", "rich.wav", "rich.aiff", "rich.dsf", "rich.dff"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// The frames, header and body, of an ID3v2.3 tag at the start of a file.
QList<QByteArray> id3v23Frames(const QByteArray& file) {
    QList<QByteArray> frames;
    const qsizetype end =
        10 + ((file[6] & 0x7F) << 21 | (file[7] & 0x7F) << 14 | (file[8] & 0x7F) << 7 | (file[9] & 0x7F));
    for (qsizetype pos = 10; pos + 10 <= end && file[pos] != '\0';) {
        const qsizetype size = qFromBigEndian<quint32>(file.constData() + pos + 4);
        frames.append(file.mid(pos, 10 + size));
        pos += 10 + size;
    }
    return frames;
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Tags another program wrote such that TagLib reads only part of them.
TEST(LosslessSaveOfTagsReadInPart, KeepsWhatCouldNotBeReadOrRefusesTheSave) {
    Library library;
    library.add(QStringLiteral("wmp9-popm.mp3"), QStringLiteral("wmp9-popm.mp3"));
    library.add(QStringLiteral("bad-comment-length.flac"), QStringLiteral("bad-comment-length.flac"));
    library.add(QStringLiteral("zero-size-frame.mp3"), QStringLiteral("zero-size-frame.mp3"));
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    ASSERT_EQ(document.files().size(), 3);
    const QByteArray flacBefore = [&] {
        QFile file(library.path(QStringLiteral("bad-comment-length.flac")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const QList<QUuid> ids = idsOf(document.files());
    document.setSelectedFiles(QSet<QUuid>(ids.begin(), ids.end()));
    document.editField(TagField::genre, QStringLiteral("Z"));
    document.saveAll();
    waitForSave(document);

    // The ID3v2 frames TagLib could not read are kept as they were, the genre changes.
    const QString mp3 = library.path(QStringLiteral("wmp9-popm.mp3"));
    const QList<QJsonObject> dumps =
        TestSupport::independentTagDump({TestSupport::fixturePath("wmp9-popm.mp3"), mp3});
    ASSERT_EQ(dumps.size(), 2);
    EXPECT_EQ(dumps[0]["items"].toObject().size(), 10) << "nine frames and the version";
    EXPECT_EQ(changedItems(dumps[0], dumps[1]), QSet<QString>{"ID3:TCON"});
    EXPECT_FALSE(fileNamed(document, QStringLiteral("wmp9-popm.mp3")).isModified());

    // Around a frame of size 0: every other frame keeps its bytes, the empty one included.
    const QString zero = library.path(QStringLiteral("zero-size-frame.mp3"));
    const QList<QJsonObject> zeroDumps =
        TestSupport::independentTagDump({TestSupport::fixturePath("zero-size-frame.mp3"), zero});
    ASSERT_EQ(zeroDumps.size(), 2);
    EXPECT_EQ(zeroDumps[0]["items"].toObject().size(), 9) << "eight frames and the version";
    EXPECT_EQ(changedItems(zeroDumps[0], zeroDumps[1]), QSet<QString>{"ID3:TCON"});
    const QByteArray saved = contentsOf(zero);
    for (const QByteArray& frame :
         id3v23Frames(contentsOf(TestSupport::fixturePath("zero-size-frame.mp3")))) {
        if (!frame.startsWith("TCON")) {
            EXPECT_TRUE(saved.contains(frame)) << frame.left(4).constData();
        }
    }
    EXPECT_FALSE(fileNamed(document, QStringLiteral("zero-size-frame.mp3")).isModified());
    EXPECT_EQ(readBack(QUrl::fromLocalFile(zero)).tags().composer, QStringLiteral("Zero Composer"));

    // The FLAC comment cannot be kept: the save is refused, the file untouched.
    ASSERT_EQ(document.notices().all().size(), 2) << "the import named the files read in part";
    EXPECT_EQ(document.notices().all().last().text,
              QStringLiteral("bad-comment-length.flac: Not saved: the tags could not be read completely, and "
                             "saving would lose the part that could not be read"));
    EXPECT_TRUE(fileNamed(document, QStringLiteral("bad-comment-length.flac")).isModified());
    QFile flac(library.path(QStringLiteral("bad-comment-length.flac")));
    ASSERT_TRUE(flac.open(QIODevice::ReadOnly));
    EXPECT_EQ(flac.readAll(), flacBefore);
}

// Files whose tags TagLib would not write back as they were: a genre saved
// through the document keeps every other value as another reader sees it,
// converting only what must be (an ID3v2.2 tag becomes ID3v2.3, its picture
// format a MIME type) and merging second tags into the one readers show.
TEST(LosslessSaveOfOtherTaggersForms, KeepsEveryOtherValue) {
    const QMap<QString, QSet<QString>> converted = {
        {"itunes-v22.mp3", {"ID3:version", "ID3:APIC:Cover"}},
        {"two-id3-tags.mp3", {}},
        {"appended-id3-tag.mp3", {}},
        {"freeform.m4a", {}},
        {"two-comments.flac", {}},
        {"coverart.ogg", {}},
    };
    Library library;
    for (const QString& name : converted.keys())
        library.add(name, name);
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    ASSERT_EQ(document.files().size(), converted.size());
    const QList<QUuid> ids = idsOf(document.files());
    document.setSelectedFiles({ids.begin(), ids.end()});
    document.editField(TagField::genre, QStringLiteral("Neu ✓"));
    document.saveAll();
    waitForSave(document);
    ASSERT_EQ(noticeText(document), std::nullopt);

    for (const QString& name : converted.keys()) {
        SCOPED_TRACE(name.toStdString());
        QString error;
        const QList<QJsonObject> dumps =
            TestSupport::independentTagDump({TestSupport::fixturePath(name), library.path(name)}, &error);
        ASSERT_EQ(dumps.size(), 2) << error.toStdString();
        const QJsonObject before = dumps[0]["items"].toObject();
        const QJsonObject after = dumps[1]["items"].toObject();
        for (const QString& key : before.keys()) {
            if (!itemsOf(TagField::genre).contains(key) && !converted[name].contains(key)) {
                EXPECT_EQ(after[key], before[key]) << key.toStdString();
            }
        }
        QStringList genres;
        for (const QString& key : after.keys()) {
            if (itemsOf(TagField::genre).contains(key))
                genres.append(key);
        }
        ASSERT_FALSE(genres.isEmpty());
        EXPECT_TRUE(after[genres.first()].toString().contains(u"Neu ✓")) << genres.first().toStdString();
    }
    // What the second tags held, which readers did not show before, shows now.
    const QList<QJsonObject> merged = TestSupport::independentTagDump({library.path("two-id3-tags.mp3"),
                                                                       library.path("appended-id3-tag.mp3"),
                                                                       library.path("two-comments.flac")});
    ASSERT_EQ(merged.size(), 3);
    EXPECT_TRUE(merged[0]["items"].toObject()["ID3:TALB"].toString().contains(u"Second Album"));
    EXPECT_TRUE(merged[1]["items"].toObject()["ID3:TALB"].toString().contains(u"Appended Album"));
    EXPECT_TRUE(merged[2]["items"].toObject()["VC:ALBUM"].toString().contains(u"Second Album"));
}

} // namespace

namespace {

// Every field, each with a value of its own, from the document through the
// helper processes and the bridge into every format and back into a document.
TEST(WholeStack, EveryFieldReadsBackInEveryFormatThatStoresIt) {
    const QStringList extensions = {"mp3", "m4a", "m4b",  "flac", "wav", "aiff",
                                    "aif", "ogg", "opus", "dsf",  "dff"};
    const QMap<TagField, QString> values = {
        {TagField::year, "1999"},     {TagField::trackNumber, "3"}, {TagField::trackTotal, "12"},
        {TagField::discNumber, "2"},  {TagField::discTotal, "4"},   {TagField::bpm, "120"},
        {TagField::compilation, "1"},
    };
    const auto valueOf = [&](TagField field) {
        return values.value(field, rawValue(field) + QStringLiteral(" ✓"));
    };
    Library library;
    for (const QString& extension : extensions)
        library.add(QStringLiteral("file.") + extension, QStringLiteral("untagged.") + extension);
    {
        DocumentViewModel document;
        importAndWait(document, {library.url()});
        ASSERT_EQ(document.files().size(), extensions.size());
        const QList<QUuid> ids = idsOf(document.files());
        document.setSelectedFiles({ids.begin(), ids.end()});
        for (TagField field : allTagFields)
            document.editField(field, valueOf(field));
        document.saveAll();
        waitForSave(document);
        ASSERT_EQ(noticeText(document), std::nullopt);
    }
    DocumentViewModel reread;
    importAndWait(reread, {library.url()});
    for (const AudioFile& file : reread.files()) {
        const bool genericOnly = file.format() == AudioFormat::dsdiff;
        for (TagField field : allTagFields) {
            SCOPED_TRACE((file.filename() + u' ' + rawValue(field)).toStdString());
            const bool stored = !genericOnly || (CTAGLIB_GENERIC_FIELDS & (1u << static_cast<int>(field)));
            EXPECT_EQ(file.tags().value(field), stored ? std::optional(valueOf(field)) : std::nullopt);
        }
    }
}

} // namespace
