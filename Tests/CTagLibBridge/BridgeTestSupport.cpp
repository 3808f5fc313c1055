#include "BridgeTestSupport.h"

#include "QuireCore/TagFieldTable.h"
#include "QuireTagHelper/BridgeFields.h"

void PrintTo(const BridgeTags& tags, std::ostream* os) {
    forEachField(Overloaded{
        [&](const FlagFieldBinding& b) { *os << b.name << '=' << tags.*b.bridge; },
        [&](const auto& b) {
            const std::optional<std::string>& text = tags.*b.bridge;
            *os << b.name << '=';
            if (!text)
                *os << "absent ";
            else if (text->size() > 200)
                *os << text->size() << " bytes ";
            else
                *os << '"' << *text << "\" ";
        },
    });
    for (const auto& [name, value] : tags.properties)
        *os << name << "=\"" << value << "\" ";
}

namespace BridgeTest {
namespace {

std::optional<std::string> text(const char* value) {
    return value ? std::optional<std::string>(value) : std::nullopt;
}

const char* cText(const std::optional<std::string>& value) {
    return value ? value->c_str() : nullptr;
}

void print(std::ostream* os, const char* name, const std::optional<std::string>& value) {
    *os << name << '=' << (value ? '"' + *value + '"' : std::string("absent")) << ' ';
}

} // namespace

Record read(const QByteArray& path) {
    return Record(ctaglib_read(path.constData()));
}

Tags tagsOf(const CTagLibTag& r) {
    Tags tags = bridgeTagsOf(r);
    tags.properties.clear(); // the fields only: custom items have tests of their own
    return tags;
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

int write(const QByteArray& path, const Tags& t, const std::optional<std::vector<NewPicture>>& pictures,
          uint32_t fields) {
    std::vector<CTagLibArtworkWrite> artwork;
    if (pictures) {
        for (const NewPicture& p : *pictures)
            artwork.push_back({reinterpret_cast<const uint8_t*>(p.data.data()),
                               static_cast<int64_t>(p.data.size()), cText(p.mimeType), p.type,
                               cText(p.description)});
    }
    const CWriteValues values(t);
    return ctaglib_write_fields(path.constData(), &values.values, fields,
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
    t.year = "1987";
    t.track = "5";
    t.trackTotal = "14";
    t.disc = "2";
    t.discTotal = "3";
    t.bpm = "96";
    t.compilation = 1;
    return t;
}

Tags genericOnly(const Tags& all) {
    Tags generic;
    forEachField([&](const auto& b) {
        if (b.bridgeBit & CTAGLIB_GENERIC_FIELDS)
            generic.*b.bridge = all.*b.bridge;
    });
    return generic;
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
