// Writes the seeds of fuzz-json, fuzz-worker-protocol and fuzz-picture-protocol: records like the
// test fixtures', serialised by the model's own encoders.
// Usage: make-fuzz-seeds CORPUS-FOLDER (Fuzz/corpus)
#include "QuireCore/AudioFile.h"
#include "QuireCore/InspectorLayout.h"
#include "QuireCore/JsonDecoding.h"
#include "QuireCore/TagSet.h"
#include "QuireCore/TagWorkerProtocol.h"
#include "QuireCore/UndoManager.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

namespace {

QUuid fixedId(int n) {
    return QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

QByteArray tinyPng() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

AudioFile taggedMp3() {
    TagSet tags;
    tags.title = QStringLiteral("Song");
    tags.artist = QStringLiteral("Ärtist");
    tags.album = QStringLiteral("Album");
    tags.year = QStringLiteral("2001");
    tags.trackNumber = QStringLiteral("3");
    tags.trackTotal = QStringLiteral("12");
    tags.comment = QString();
    tags.compilation = false;
    tags.custom.insert(QStringLiteral("MOOD"), QStringLiteral("calm"));
    return AudioFile(fixedId(1), QUrl::fromLocalFile(QStringLiteral("/music/Artist/Album/03 Song.mp3")),
                     AudioFormat::mp3, std::nullopt, {187.5, 320, 44100, 2, QStringLiteral("MPEG-1 Layer 3")},
                     tags, {});
}

AudioFile coveredFlac() {
    const QByteArray png = tinyPng();
    Artwork cover = Artwork::holding(png, ImageFormat::png, ArtworkType::frontCover, QStringLiteral("cover"));
    cover.id = fixedId(3);
    cover.width = cover.height = 2;
    TagSet tags;
    tags.title = QStringLiteral("Pictures");
    tags.discNumber = QStringLiteral("1");
    tags.discTotal = QStringLiteral("2");
    tags.bpm = QStringLiteral("120");
    return AudioFile(fixedId(2), QUrl::fromLocalFile(QStringLiteral("/music/pictures.flac")),
                     AudioFormat::flac, TagContainer::vorbis, {1.0, 900, 48000, 1, QStringLiteral("FLAC")},
                     tags, {cover}, true, QDateTime(QDate(2024, 5, 1), QTime(12, 30), Qt::UTC));
}

bool writeSeed(const QDir& folder, const char* name, const QByteArray& bytes) {
    QFile file(folder.filePath(QLatin1String(name)));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The protocol target's input: the decoder's number, then a frame's payload
// (or its header for decoder 0).
QByteArray protocolSeed(char decoder, const std::string& frame) {
    namespace P = TagWorkerProtocol;
    const std::string part =
        decoder == 0 ? frame.substr(0, P::frameHeaderSize) : frame.substr(P::frameHeaderSize);
    return QByteArray(1, decoder) + QByteArray(part.data(), static_cast<qsizetype>(part.size()));
}

bool writeProtocolSeeds(const QDir& folder) {
    namespace P = TagWorkerProtocol;
    const QByteArray png = tinyPng();
    const BridgePicture picture{png,        std::string("image/png"), std::string("cover"), 3, 2, 2,
                                png.size(), Artwork::digestOf(png)};
    BridgeWriteRequest write{};
    write.path = "/music/03 Song.mp3";
    write.title = "Song";
    write.artist = "Ärtist";
    write.track = "A1";
    write.trackTotal = "12";
    write.properties = {{"CATALOGNUMBER", "ABC-123"}, {"LABEL", ""}};
    write.compilation = 0;
    write.fields = 0x1FF; // the text fields
    write.pictures = std::vector<BridgePicture>{picture};
    BridgeRecord record{};
    record.title = "Song";
    record.year = "2001-10-01";
    record.disc = "1";
    record.properties = {{"MEDIA", "Vinyl; CD"}};
    record.compilation = 1;
    record.duration = 187;
    record.bitrate = 320;
    record.sampleRate = 44100;
    record.channels = 2;
    record.codec = "MPEG-1 Layer 3";
    record.fileType = "MPEG";
    record.pictures = {picture, picture};
    BridgeRecord described = record;
    for (BridgePicture& picture : described.pictures)
        picture.data.clear();
    using Kind = P::PicturePlacement::Kind;
    const std::string readRequest = P::encodeReadRequest({"/music/03 Song.mp3"});
    return writeSeed(folder, "frame-header", protocolSeed(0, readRequest)) &&
           writeSeed(folder, "read-request", protocolSeed(1, readRequest)) &&
           writeSeed(folder, "write-request", protocolSeed(1, P::encodeWriteRequest(write))) &&
           writeSeed(folder, "read-reply", protocolSeed(2, P::encodeReadReply(BridgeReadResult(record)))) &&
           writeSeed(folder, "read-reply-described-pictures",
                     protocolSeed(2, P::encodeReadReply(BridgeReadResult(described)))) &&
           writeSeed(folder, "read-reply-shared-picture",
                     protocolSeed(2, P::encodeReadReply(BridgeReadResult(record),
                                                        {{Kind::stored, 5}, {Kind::repeated, 5}}))) &&
           writeSeed(
               folder, "read-reply-error",
               protocolSeed(2, P::encodeReadReply(TagReaderError::readError(QStringLiteral("bad frame"))))) &&
           writeSeed(folder, "read-reply-unopened",
                     protocolSeed(2, P::encodeReadReply(TagReaderError::failedToOpen()))) &&
           writeSeed(folder, "write-reply",
                     protocolSeed(3, P::encodeWriteReply(BridgeWriteOutcome::tagsNotReadCompletely)));
}

// The picture target's input: the decoder's number, then a frame's payload.
QByteArray pictureSeed(char decoder, const std::string& frame) {
    return protocolSeed(1, frame).replace(0, 1, QByteArray(1, decoder));
}

bool writePictureSeeds(const QDir& folder) {
    namespace P = TagWorkerProtocol;
    const QByteArray png = tinyPng();
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 128));
    return writeSeed(folder, "fit-request", pictureSeed(0, P::encodeFitImageRequest({png, 160, 160}))) &&
           writeSeed(folder, "encode-request-bytes",
                     pictureSeed(0, P::encodePictureEncodingRequest({png, 1000, 0.8, true}))) &&
           writeSeed(folder, "encode-request-path",
                     pictureSeed(0, P::encodePictureEncodingRequest(
                                        {std::string("/pictures/cover.png"), std::nullopt, 0.9, false}))) &&
           writeSeed(folder, "image-reply", pictureSeed(1, P::encodeImageReply(image))) &&
           writeSeed(folder, "image-reply-absent", pictureSeed(1, P::encodeImageReply(std::nullopt))) &&
           writeSeed(
               folder, "encoded-reply",
               pictureSeed(2, P::encodeEncodedPictureReply(EncodedPicture{png, ImageFormat::jpeg, 1, 1})));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-fuzz-seeds CORPUS-FOLDER\n");
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QDir folder(corpus.filePath(QStringLiteral("fuzz-json")));
    const FileSnapshot snapshot{{taggedMp3(), coveredFlac()}, {fixedId(2)}};
    const bool ok = writeSeed(folder, "audiofile-mp3.json", encodeJson(taggedMp3())) &&
                    writeSeed(folder, "audiofile-flac-cover.json", encodeJson(coveredFlac())) &&
                    writeSeed(folder, "tagset.json", encodeJson(taggedMp3().tags())) &&
                    writeSeed(folder, "tagset-empty.json", encodeJson(TagSet())) &&
                    writeSeed(folder, "layout-standard.json", encodeJson(InspectorLayout::standard())) &&
                    writeSeed(folder, "layout-classical.json", encodeJson(InspectorLayout::classical())) &&
                    writeSeed(folder, "snapshot.json", encodeJson(snapshot)) &&
                    writeProtocolSeeds(QDir(corpus.filePath(QStringLiteral("fuzz-worker-protocol")))) &&
                    writePictureSeeds(QDir(corpus.filePath(QStringLiteral("fuzz-picture-protocol"))));
    if (!ok) {
        std::fprintf(stderr, "make-fuzz-seeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
