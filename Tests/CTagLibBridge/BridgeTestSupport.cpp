#include "BridgeTestSupport.h"

namespace BridgeTest {
namespace {

std::optional<std::string> text(const char* value) {
    return value ? std::optional<std::string>(value) : std::nullopt;
}

std::optional<int> number(int32_t value, int32_t flag) {
    return flag == 1 ? std::optional<int>(value) : std::nullopt;
}

const char* cText(const std::optional<std::string>& value) {
    return value ? value->c_str() : nullptr;
}

void print(std::ostream* os, const char* name, const std::optional<std::string>& value) {
    *os << name << '=' << (value ? '"' + *value + '"' : std::string("absent")) << ' ';
}

void print(std::ostream* os, const char* name, const std::optional<int>& value) {
    *os << name << '=' << (value ? std::to_string(*value) : std::string("absent")) << ' ';
}

} // namespace

Record read(const QByteArray& path) {
    return Record(ctaglib_read(path.constData()));
}

Tags tagsOf(const CTagLibTag& r) {
    Tags tags;
    tags.title = text(r.title);
    tags.artist = text(r.artist);
    tags.album = text(r.album);
    tags.albumArtist = text(r.albumArtist);
    tags.composer = text(r.composer);
    tags.genre = text(r.genre);
    tags.comment = text(r.comment);
    tags.grouping = text(r.grouping);
    tags.lyrics = text(r.lyrics);
    tags.year = number(r.year, r.hasYear);
    tags.track = number(r.track, r.hasTrack);
    tags.trackTotal = number(r.trackTotal, r.hasTrackTotal);
    tags.disc = number(r.disc, r.hasDisc);
    tags.discTotal = number(r.discTotal, r.hasDiscTotal);
    tags.bpm = number(r.bpm, r.hasBpm);
    tags.compilation = r.compilation;
    return tags;
}

void PrintTo(const Tags& t, std::ostream* os) {
    print(os, "title", t.title);
    print(os, "artist", t.artist);
    print(os, "album", t.album);
    print(os, "albumArtist", t.albumArtist);
    print(os, "composer", t.composer);
    print(os, "genre", t.genre);
    print(os, "comment", t.comment);
    print(os, "grouping", t.grouping);
    *os << "lyrics=" << (t.lyrics ? std::to_string(t.lyrics->size()) + " bytes" : "absent") << ' ';
    print(os, "year", t.year);
    print(os, "track", t.track);
    print(os, "trackTotal", t.trackTotal);
    print(os, "disc", t.disc);
    print(os, "discTotal", t.discTotal);
    print(os, "bpm", t.bpm);
    *os << "compilation=" << t.compilation;
}

std::vector<ReadPicture> picturesOf(const CTagLibTag& record) {
    std::vector<ReadPicture> pictures;
    for (int i = 0; i < record.artworkCount; ++i) {
        const CTagLibArtwork& a = record.artwork[i];
        pictures.push_back({std::string(reinterpret_cast<const char*>(a.data), a.size), text(a.mimeType),
                            text(a.description), a.pictureType});
    }
    return pictures;
}

void PrintTo(const ReadPicture& p, std::ostream* os) {
    *os << p.data.size() << " bytes, ";
    print(os, "mime", p.mimeType);
    print(os, "description", p.description);
    *os << "type=" << p.type;
}

int write(const QByteArray& path, const Tags& t, const std::optional<std::vector<NewPicture>>& pictures) {
    std::vector<CTagLibArtworkWrite> artwork;
    if (pictures) {
        for (const NewPicture& p : *pictures)
            artwork.push_back({reinterpret_cast<const uint8_t*>(p.data.data()),
                               static_cast<int64_t>(p.data.size()), cText(p.mimeType), p.type,
                               cText(p.description)});
    }
    const auto pair = [](const std::optional<int>& value) {
        return std::pair{value.value_or(0), value ? 1 : 0};
    };
    const auto [year, hasYear] = pair(t.year);
    const auto [track, hasTrack] = pair(t.track);
    const auto [trackTotal, hasTrackTotal] = pair(t.trackTotal);
    const auto [disc, hasDisc] = pair(t.disc);
    const auto [discTotal, hasDiscTotal] = pair(t.discTotal);
    const auto [bpm, hasBpm] = pair(t.bpm);
    return ctaglib_write(path.constData(), cText(t.title), cText(t.artist), cText(t.album),
                         cText(t.albumArtist), cText(t.composer), cText(t.genre), cText(t.comment),
                         cText(t.grouping), cText(t.lyrics), year, hasYear, track, hasTrack, trackTotal,
                         hasTrackTotal, disc, hasDisc, discTotal, hasDiscTotal, bpm, hasBpm, t.compilation,
                         artwork.empty() ? nullptr : artwork.data(),
                         pictures ? static_cast<int32_t>(artwork.size()) : -1);
}

Tags fullTags() {
    Tags t;
    t.title = "Nocturne — 夜想曲 🌙";
    t.artist = "Zoe\u0308 & Søren 🎻"; // "ë" as e + combining diaeresis
    t.album = "Ἀλφάβητος: Αλμπουμ";
    t.albumArtist = "Ансамбль «Ромашка»";
    t.composer = "عبد الله";
    t.genre = "Chamber Music";
    t.comment = "Recorded live.\nSecond line ✓";
    t.grouping = "グループ";
    std::string lyrics;
    for (int line = 0; line < 400; ++line)
        lyrics += "Line " + std::to_string(line) + ": la la la — ла ла ла — 啦啦啦\n";
    t.lyrics = lyrics; // about 20 KB
    t.year = 1987;
    t.track = 5;
    t.trackTotal = 14;
    t.disc = 2;
    t.discTotal = 3;
    t.bpm = 96;
    t.compilation = 1;
    return t;
}

Tags genericOnly(const Tags& all) {
    Tags t;
    t.title = all.title;
    t.artist = all.artist;
    t.album = all.album;
    t.genre = all.genre;
    t.comment = all.comment;
    t.year = all.year;
    t.track = all.track;
    return t;
}

std::vector<NewPicture> twoPictures() {
    const QByteArray jpeg = TestSupport::encodedImage(16, 16, "JPEG");
    const QByteArray png = TestSupport::encodedImage(12, 10, "PNG");
    return {
        {jpeg.toStdString(), "image/jpeg", 3, "Front ☕"},
        {png.toStdString(), "image/png", 4, std::nullopt},
    };
}

ReadPicture asRead(const NewPicture& p) {
    return {p.data, p.mimeType, p.description, p.type};
}

const std::vector<std::string>& allExtensions() {
    static const std::vector<std::string> extensions = {"mp3", "m4a", "m4b",  "flac", "wav", "aiff",
                                                        "aif", "ogg", "opus", "dsf",  "dff"};
    return extensions;
}

const std::vector<std::string>& extendedExtensions() {
    static const std::vector<std::string> extensions = {"mp3",  "m4a", "m4b", "flac", "wav",
                                                        "aiff", "aif", "ogg", "opus", "dsf"};
    return extensions;
}

bool isMp4(const std::string& extension) {
    return extension == "m4a" || extension == "m4b";
}

} // namespace BridgeTest
