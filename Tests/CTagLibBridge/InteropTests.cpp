// Other software must read what the bridge writes: the written files are
// checked with mutagen (python3-mutagen) and ffmpeg, run as separate programs.
#include "BridgeTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <cstddef>

extern "C" size_t bridgeLayoutAsSeenFromC(int which);

using namespace BridgeTest;
using TestSupport::ScopedFileCopy;

namespace {

TEST(CTagLibPublicHeader, CAndCxxAgreeOnTheRecordLayout) {
    EXPECT_EQ(bridgeLayoutAsSeenFromC(0), sizeof(CTagLibTag));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(1), offsetof(CTagLibTag, compilation));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(2), offsetof(CTagLibTag, codec));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(3), offsetof(CTagLibTag, error));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(4), sizeof(CTagLibArtwork));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(5), offsetof(CTagLibArtwork, pictureType));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(6), sizeof(CTagLibArtworkWrite));
    EXPECT_EQ(bridgeLayoutAsSeenFromC(7), offsetof(CTagLibArtworkWrite, description));
}

// Prints, for each file given, the tags as mutagen sees them, in one JSON list.
constexpr const char* kMutagenScript = R"PY(
import base64, json, sys
import mutagen
from mutagen.flac import Picture

def first(tags, key):
    v = tags.get(key)
    if v is None:
        return None
    if hasattr(v, "text"):
        v = v.text
    if isinstance(v, list):
        v = v[0] if v else None
    return None if v is None else str(v)

def id3(f):
    t = f.tags
    comm = [c for c in t.getall("COMM") if c.desc == ""]
    uslt = t.getall("USLT")
    return dict(title=first(t, "TIT2"), artist=first(t, "TPE1"), album=first(t, "TALB"),
                albumArtist=first(t, "TPE2"), composer=first(t, "TCOM"), genre=first(t, "TCON"),
                comment=comm[0].text[0] if comm else None, commentLanguage=comm[0].lang if comm else None,
                grouping=first(t, "TIT1"), lyrics=uslt[0].text if uslt else None, year=first(t, "TDRC"),
                track=first(t, "TRCK"), disc=first(t, "TPOS"), bpm=first(t, "TBPM"), compilation=first(t, "TCMP"),
                pictures=[dict(mime=p.mime, type=int(p.type), desc=p.desc, size=len(p.data)) for p in t.getall("APIC")])

def mp4(f):
    t = f.tags
    pair = lambda k: "%d/%d" % tuple(t[k][0]) if k in t else None
    return dict(title=first(t, "\xa9nam"), artist=first(t, "\xa9ART"), album=first(t, "\xa9alb"),
                albumArtist=first(t, "aART"), composer=first(t, "\xa9wrt"), genre=first(t, "\xa9gen"),
                comment=first(t, "\xa9cmt"), grouping=first(t, "\xa9grp"), lyrics=first(t, "\xa9lyr"),
                year=first(t, "\xa9day"), track=pair("trkn"), disc=pair("disk"), bpm=first(t, "tmpo"),
                compilation=str(int(t["cpil"])) if "cpil" in t else None,
                pictures=[dict(mime="image/png" if c.imageformat == 14 else "image/jpeg", size=len(c))
                          for c in t.get("covr", [])])

def vorbis(f):
    t = f.tags
    pictures = list(getattr(f, "pictures", []))
    comment_pictures = [Picture(base64.b64decode(v)) for v in t.get("metadata_block_picture", [])]
    def both(n, total):
        a, b = first(t, n), first(t, total)
        return None if a is None else (a if b is None else a + "/" + b)
    return dict(title=first(t, "title"), artist=first(t, "artist"), album=first(t, "album"),
                albumArtist=first(t, "albumartist"), composer=first(t, "composer"), genre=first(t, "genre"),
                comment=first(t, "comment") or first(t, "description"), grouping=first(t, "grouping"),
                lyrics=first(t, "lyrics"), year=first(t, "date"), track=both("tracknumber", "tracktotal"),
                disc=both("discnumber", "disctotal"), bpm=first(t, "bpm"), compilation=first(t, "compilation"),
                pictures=[dict(mime=p.mime, type=int(p.type), desc=p.desc, size=len(p.data))
                          for p in (pictures or comment_pictures)],
                commentPictures=len(comment_pictures))

out = []
for path in sys.argv[1:]:
    f = mutagen.File(path)
    kind = type(f).__name__
    reader = mp4 if kind == "MP4" else vorbis if kind in ("FLAC", "OggVorbis", "OggOpus") else id3
    entry = reader(f)
    entry["kind"] = kind
    out.append(entry)
print(json.dumps(out))
)PY";

const char* kPython = "/usr/bin/python3";

bool hasMutagen() {
    QProcess probe;
    probe.start(kPython, {"-c", "import mutagen"});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

QString utf8(const std::optional<std::string>& text) {
    return QString::fromStdString(text.value_or(""));
}

TEST(CTagLibInterop, MutagenReadsWhatTheBridgeWrote) {
    if (!hasMutagen())
        GTEST_SKIP() << "python3-mutagen is not installed";
    const std::vector<std::string> extensions = {"mp3", "m4a", "flac", "wav", "aiff", "ogg", "opus", "dsf"};
    const Tags tags = fullTags();
    const std::vector<NewPicture> pictures = twoPictures();
    std::vector<std::unique_ptr<ScopedFileCopy>> copies;
    QStringList arguments = {"-c", kMutagenScript};
    for (const std::string& extension : extensions) {
        copies.push_back(std::make_unique<ScopedFileCopy>(QString::fromStdString("untagged." + extension)));
        ASSERT_EQ(write(copies.back()->nativePath(), tags, pictures), 0) << extension;
        arguments << copies.back()->path();
    }

    QProcess python;
    python.start(kPython, arguments);
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray results = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(results.size(), static_cast<qsizetype>(extensions.size()));

    for (size_t i = 0; i < extensions.size(); ++i) {
        SCOPED_TRACE(extensions[i]);
        const QJsonObject entry = results[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(entry["title"].toString(), utf8(tags.title));
        EXPECT_EQ(entry["artist"].toString(), utf8(tags.artist));
        EXPECT_EQ(entry["album"].toString(), utf8(tags.album));
        EXPECT_EQ(entry["albumArtist"].toString(), utf8(tags.albumArtist));
        EXPECT_EQ(entry["composer"].toString(), utf8(tags.composer));
        EXPECT_EQ(entry["genre"].toString(), utf8(tags.genre));
        EXPECT_EQ(entry["comment"].toString(), utf8(tags.comment));
        EXPECT_EQ(entry["grouping"].toString(), utf8(tags.grouping));
        EXPECT_EQ(entry["lyrics"].toString(), utf8(tags.lyrics));
        EXPECT_EQ(entry["year"].toString(), "1987");
        EXPECT_EQ(entry["track"].toString(), "5/14");
        EXPECT_EQ(entry["disc"].toString(), "2/3");
        EXPECT_EQ(entry["bpm"].toString(), "96");
        EXPECT_EQ(entry["compilation"].toString(), "1");
        if (entry.contains("commentLanguage")) {
            EXPECT_EQ(entry["commentLanguage"].toString(), "eng");
        }

        const QJsonArray found = entry["pictures"].toArray();
        ASSERT_EQ(found.size(), 2);
        for (qsizetype p = 0; p < 2; ++p) {
            const QJsonObject picture = found[p].toObject();
            EXPECT_EQ(picture["size"].toInt(), static_cast<int>(pictures[p].data.size()));
            EXPECT_EQ(picture["mime"].toString(), utf8(pictures[p].mimeType));
            if (picture.contains("type")) {
                EXPECT_EQ(picture["type"].toInt(), pictures[p].type);
            }
        }
        if (entry["kind"].toString() == "FLAC") {
            EXPECT_EQ(entry["commentPictures"].toInt(), 0);
        }
    }
}

TEST(CTagLibInterop, FfmpegStillDecodesWrittenFilesAndSeesTheTitle) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    const QString ffprobe = QStandardPaths::findExecutable("ffprobe");
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const std::string& extension : allExtensions()) {
        SCOPED_TRACE(extension);
        const ScopedFileCopy copy(QString::fromStdString("untagged." + extension));
        ASSERT_EQ(write(copy.nativePath(), fullTags(), twoPictures()), 0);

        QProcess decode;
        decode.start(ffmpeg, {"-v", "error", "-i", copy.path(), "-map", "0:a", "-f", "null", "-"});
        ASSERT_TRUE(decode.waitForFinished(60000));
        EXPECT_EQ(decode.exitCode(), 0);
        EXPECT_EQ(decode.readAllStandardError().trimmed().toStdString(), "") << "decoding errors";

        // ffmpeg reads a DSDIFF title from the DIIN chunk, into which TagLib
        // writes only the low byte of each character.
        if (extension == "dff")
            continue;
        QProcess probe;
        probe.start(ffprobe, {"-v", "error", "-show_entries", "format_tags=title:stream_tags=title", "-of",
                              "json", copy.path()});
        ASSERT_TRUE(probe.waitForFinished(60000));
        const QByteArray json = probe.readAllStandardOutput();
        EXPECT_TRUE(QString::fromUtf8(json).contains(utf8(fullTags().title))) << json.toStdString();
    }
}

} // namespace
