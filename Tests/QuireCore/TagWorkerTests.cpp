#include "CTagLibBridge.h"
#include "QuireCore/PictureDecoder.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerProtocol.h"
#include "QuireTagHelper/InProcessTagLibAccess.h"

#include "Support/TestSupport.h"

#include <QFile>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace Protocol = TagWorkerProtocol;

namespace {

// Every helper this test program starts knows these markers (set before main()).
[[maybe_unused]] const bool faultsConfigured = [] {
    setenv(
        TagWorker::faultVariable,
        "crash=@crash@;hang=@hang@;alloc=@alloc@;picture-crash=@picture-crash@;picture-hang=@picture-hang@",
        1);
    return true;
}();

std::string payloadOf(const std::string& frame) {
    return frame.substr(Protocol::frameHeaderSize);
}

// A reply decoded as the first from a fresh helper.
Result<BridgeReadResult, Protocol::DecodeError> decodeReply(std::string_view payload) {
    Protocol::ReceivedPictures received;
    return Protocol::decodeReadReply(payload, received);
}

BridgeRecord fullRecord() {
    BridgeRecord record;
    record.title = "Title ☕";
    record.album = ""; // present but empty stays present
    record.comment = std::string("a\0b", 3);
    record.year = "1999-11-01";
    record.bpm = "-5";
    record.properties = {{"CATALOGNUMBER", "ABC-123"}, {"LABEL", "A; B"}};
    record.readInPart = true;
    record.compilation = 1;
    record.duration = 215;
    record.bitrate = 320;
    record.sampleRate = 44100;
    record.channels = 2;
    record.codec = "MP3";
    record.fileType = "MP3";
    const QByteArray jpeg("\xff\xd8 jpeg", 7);
    // Whole, empty, and described without its bytes.
    record.pictures = {{jpeg, "image/jpeg", "Front", 3, 600, 500, jpeg.size(), Artwork::digestOf(jpeg)},
                       {QByteArray(), std::nullopt, std::nullopt, 0, 0, 0, 0, Artwork::digestOf({})},
                       {QByteArray(), "image/png", std::nullopt, 4, 9, 9, 250'000, QByteArray(16, 'd')}};
    return record;
}

BridgeWriteRequest writeTo(std::string path) {
    BridgeWriteRequest request;
    request.path = std::move(path);
    return request;
}

BridgeWriteRequest fullWrite() {
    BridgeWriteRequest request;
    request.path = "/music/ä.mp3";
    request.title = "T";
    request.lyrics = "la\nla";
    request.track = "A1";
    request.trackTotal = "12";
    request.properties = {{"CATALOGNUMBER", ""}};
    request.newId3v2Version = 3;
    request.compilation = 0;
    request.fields = CTAGLIB_FIELD_TITLE | CTAGLIB_FIELD_LYRICS;
    request.pictures =
        std::vector<BridgePicture>{{QByteArray(300, 'x'), "image/png", std::nullopt, 4, 0, 0, 0, {}}};
    return request;
}

TEST(TagWorkerProtocol, EveryMessageRoundTrips) {
    const auto read = Protocol::decodeRequest(payloadOf(Protocol::encodeReadRequest({"/a/b.flac"})));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(std::get<Protocol::ReadRequest>(read.value()).path, "/a/b.flac");

    for (BridgeWriteRequest request : {fullWrite(), writeTo("/x.ogg")}) {
        const auto decoded = Protocol::decodeRequest(payloadOf(Protocol::encodeWriteRequest(request)));
        ASSERT_TRUE(decoded.ok()) << decoded.error().reason;
        EXPECT_EQ(std::get<BridgeWriteRequest>(decoded.value()), request);
    }

    const auto record = decodeReply(payloadOf(Protocol::encodeReadReply(fullRecord())));
    ASSERT_TRUE(record.ok()) << record.error().reason;
    ASSERT_TRUE(record.value().ok());
    EXPECT_EQ(record.value().value(), fullRecord());

    for (const TagReaderError& error :
         {TagReaderError::failedToOpen(), TagReaderError::readError("No tag found"),
          TagReaderError::missing(), TagReaderError::noPermission(false), TagReaderError::emptyFile(),
          TagReaderError::notAFile(),
          TagReaderError::unsupportedVariant("RF64 WAV files are not supported")}) {
        const auto decoded = decodeReply(payloadOf(Protocol::encodeReadReply(error)));
        ASSERT_TRUE(decoded.ok());
        EXPECT_EQ(decoded.value().error(), error);
    }
    // A kind no read reports arrives as a read error that says what it was.
    const auto unexpected = decodeReply(payloadOf(Protocol::encodeReadReply(TagReaderError::writeFailed())));
    ASSERT_TRUE(unexpected.ok());
    EXPECT_EQ(unexpected.value().error(), TagReaderError::readError("Failed to write tags to file"));
    for (int outcome = 0; outcome <= static_cast<int>(BridgeWriteOutcome::unsupportedKey); ++outcome) {
        const auto sent = static_cast<BridgeWriteOutcome>(outcome);
        EXPECT_EQ(Protocol::decodeWriteReply(payloadOf(Protocol::encodeWriteReply(sent))).value(), sent);
    }
    std::string beyond = payloadOf(Protocol::encodeWriteReply(BridgeWriteOutcome::unsupportedKey));
    ++beyond.back();
    EXPECT_FALSE(Protocol::decodeWriteReply(beyond).ok());
}

TEST(TagWorkerProtocol, PicturesSentOnceAreTakenFromTheirSlots) {
    using Kind = Protocol::PicturePlacement::Kind;
    BridgeRecord first = fullRecord();
    first.pictures = {first.pictures[0], first.pictures[0], first.pictures[0]};
    first.pictures[1].description = "Back";
    Protocol::ReceivedPictures received;
    const std::string storing =
        payloadOf(Protocol::encodeReadReply(first, {{Kind::stored, 7}, {Kind::repeated, 7}, {}}));
    const std::string whole = payloadOf(Protocol::encodeReadReply(first));
    EXPECT_LT(storing.size(), whole.size() - first.pictures[0].data.size() + 8);
    const auto decoded = Protocol::decodeReadReply(storing, received);
    ASSERT_TRUE(decoded.ok()) << decoded.error().reason;
    EXPECT_EQ(decoded.value().value(), first);
    EXPECT_EQ(received[7], first.pictures[0].data);

    // A later reply of the same helper names the slot alone, and gets the bytes already held.
    BridgeRecord second;
    second.pictures = {first.pictures[0]};
    const auto repeated = Protocol::decodeReadReply(
        payloadOf(Protocol::encodeReadReply(second, {{Kind::repeated, 7}})), received);
    ASSERT_TRUE(repeated.ok());
    EXPECT_EQ(repeated.value().value().pictures, second.pictures);
    EXPECT_EQ(repeated.value().value().pictures[0].data.constData(), received[7].constData());

    // A helper cannot name a slot it never filled, or one past the table.
    EXPECT_FALSE(decodeReply(payloadOf(Protocol::encodeReadReply(second, {{Kind::repeated, 7}}))).ok());
    EXPECT_FALSE(decodeReply(payloadOf(Protocol::encodeReadReply(second, {{Kind::stored, 8}}))).ok());
    BridgeRecord negative = second;
    negative.pictures[0].width = -1;
    EXPECT_FALSE(decodeReply(payloadOf(Protocol::encodeReadReply(negative))).ok());
}

TEST(TagWorkerProtocol, RejectsEveryTruncationAndAnyExtraByte) {
    const std::string messages[] = {payloadOf(Protocol::encodeReadRequest({"/a.mp3"})),
                                    payloadOf(Protocol::encodeWriteRequest(fullWrite())),
                                    payloadOf(Protocol::encodeReadReply(fullRecord())),
                                    payloadOf(Protocol::encodeWriteReply(BridgeWriteOutcome::written))};
    auto accepted = [](size_t kind, std::string_view bytes) {
        return kind < 2 ? Protocol::decodeRequest(bytes).ok()
                        : (kind == 2 ? decodeReply(bytes).ok() : Protocol::decodeWriteReply(bytes).ok());
    };
    for (size_t kind = 0; kind < std::size(messages); ++kind) {
        const std::string& whole = messages[kind];
        ASSERT_TRUE(accepted(kind, whole));
        for (size_t length = 0; length < whole.size(); ++length)
            EXPECT_FALSE(accepted(kind, std::string_view(whole).substr(0, length)))
                << kind << " cut at " << length;
        EXPECT_FALSE(accepted(kind, whole + '\0')) << kind;
        std::string otherVersion = whole;
        otherVersion[0] = static_cast<char>(Protocol::version + 1);
        EXPECT_FALSE(accepted(kind, otherVersion)) << kind;
    }
    // A request is not a reply, and a reply is not a request.
    EXPECT_FALSE(decodeReply(messages[0]).ok());
    EXPECT_FALSE(Protocol::decodeRequest(messages[2]).ok());
}

TEST(TagWorkerProtocol, RejectsValuesOutOfRange) {
    // Paths the bridge would cut short or cannot open.
    EXPECT_FALSE(
        Protocol::decodeRequest(payloadOf(Protocol::encodeReadRequest({std::string("/a\0b", 4)}))).ok());
    EXPECT_FALSE(Protocol::decodeRequest(payloadOf(Protocol::encodeReadRequest({""}))).ok());

    // A presence flag of 2; a compilation of 2.
    std::string write = payloadOf(Protocol::encodeWriteRequest(writeTo("/x")));
    write[2 + 4 + 2] = 2; // the first text's presence, after version, type and the path
    EXPECT_FALSE(Protocol::decodeRequest(write).ok());
    BridgeRecord record;
    record.compilation = 2;
    EXPECT_FALSE(decodeReply(payloadOf(Protocol::encodeReadReply(record))).ok());

    // A picture count the payload cannot hold is refused before anything is allocated.
    std::string reply = payloadOf(Protocol::encodeReadReply(BridgeRecord{}));
    reply.replace(reply.size() - 4, 4, std::string(4, '\xff'));
    EXPECT_FALSE(decodeReply(reply).ok());

    // Frame headers: at least version and type, at most the limit.
    auto header = [](uint32_t size) {
        std::string bytes(4, '\0');
        qToLittleEndian(size, bytes.data());
        return bytes;
    };
    EXPECT_EQ(Protocol::decodeFrameHeader(header(2)).value(), 2u);
    EXPECT_FALSE(Protocol::decodeFrameHeader(header(1)).ok());
    EXPECT_TRUE(Protocol::decodeFrameHeader(header(Protocol::maxPayloadSize)).ok());
    EXPECT_FALSE(Protocol::decodeFrameHeader(header(Protocol::maxPayloadSize + 1)).ok());
    EXPECT_FALSE(Protocol::decodeFrameHeader("abc").ok());
}

TEST(TagWorkerProtocol, PictureMessagesRoundTripAndRefuseCutsAndFalseSizes) {
    QImage image = TestSupport::patternImage(5, 3).convertToFormat(QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(1, 2, 3, 4));
    const EncodePictureRequest fromFile{std::string("/covers/ä.png"), 1000, 0.8, true};
    const EncodePictureRequest fromBytes{QByteArray("\xff\xd8 jpeg"), std::nullopt, std::nan(""), false};
    const std::string messages[] = {
        payloadOf(Protocol::encodeFitImageRequest({QByteArray("png bytes"), 120, Protocol::maxImageEdge})),
        payloadOf(Protocol::encodePictureEncodingRequest(fromFile)),
        payloadOf(Protocol::encodePictureEncodingRequest(fromBytes)),
        payloadOf(Protocol::encodeImageReply(image)),
        payloadOf(Protocol::encodeEncodedPictureReply(EncodedPicture{"tiff", ImageFormat::tiff, 7, 9}))};
    const auto request = [](std::string_view bytes) { return Protocol::decodeRequest(bytes); };
    ASSERT_TRUE(request(messages[0]).ok());
    EXPECT_EQ(std::get<FitImageRequest>(request(messages[0]).value()),
              (FitImageRequest{"png bytes", 120, Protocol::maxImageEdge}));
    EXPECT_EQ(std::get<EncodePictureRequest>(request(messages[1]).value()), fromFile);
    EXPECT_EQ(std::get<EncodePictureRequest>(request(messages[2]).value()), fromBytes);
    const auto decodedImage = Protocol::decodeImageReply(messages[3]);
    ASSERT_TRUE(decodedImage.ok() && decodedImage.value());
    EXPECT_EQ(*decodedImage.value(), image);
    EXPECT_EQ(Protocol::decodeEncodedPictureReply(messages[4]).value(),
              (EncodedPicture{"tiff", ImageFormat::tiff, 7, 9}));
    // Absent results, also for images no reply may carry.
    EXPECT_EQ(Protocol::decodeImageReply(
                  payloadOf(Protocol::encodeImageReply(QImage(8193, 1, QImage::Format_ARGB32))))
                  .value(),
              std::nullopt);
    EXPECT_EQ(
        Protocol::decodeEncodedPictureReply(payloadOf(Protocol::encodeEncodedPictureReply(std::nullopt)))
            .value(),
        std::nullopt);

    auto accepted = [](size_t kind, std::string_view bytes) {
        return kind < 3 ? Protocol::decodeRequest(bytes).ok()
                        : (kind == 3 ? Protocol::decodeImageReply(bytes).ok()
                                     : Protocol::decodeEncodedPictureReply(bytes).ok());
    };
    for (size_t kind = 0; kind < std::size(messages); ++kind) {
        const std::string& whole = messages[kind];
        for (size_t length = 0; length < whole.size(); ++length)
            EXPECT_FALSE(accepted(kind, std::string_view(whole).substr(0, length)))
                << kind << " cut at " << length;
        EXPECT_FALSE(accepted(kind, whole + '\0')) << kind;
    }

    // Edges and sizes that disagree with the bytes, or claim more than any image may have.
    const auto withInt32At = [](std::string bytes, size_t at, uint32_t value) {
        qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    const size_t edges = 2 + 1; // version, type, presence
    EXPECT_FALSE(
        Protocol::decodeImageReply(withInt32At(messages[3], edges, 6)).ok()); // width × height × 4 ≠ bytes
    EXPECT_FALSE(Protocol::decodeImageReply(withInt32At(messages[3], edges, 0)).ok());
    EXPECT_FALSE(Protocol::decodeImageReply(withInt32At(messages[3], edges + 4, 0x7fffffff)).ok());
    EXPECT_FALSE(
        Protocol::decodeImageReply(withInt32At(messages[3], edges + 8, 0xfffffff0)).ok()); // byte count
    EXPECT_FALSE(Protocol::decodeEncodedPictureReply(withInt32At(messages[4], edges + 1, 0)).ok());
    std::string unknownFormat = messages[4];
    unknownFormat[edges] = 2;
    EXPECT_FALSE(Protocol::decodeEncodedPictureReply(unknownFormat).ok());
    const std::string fitRequest = messages[0];
    const size_t fitBounds = 2 + 4 + 9;
    EXPECT_FALSE(request(withInt32At(fitRequest, fitBounds, 0)).ok());
    EXPECT_FALSE(request(withInt32At(fitRequest, fitBounds + 4, Protocol::maxImageEdge + 1)).ok());
    EXPECT_FALSE(
        request(payloadOf(Protocol::encodePictureEncodingRequest({std::string("/a\0b", 4), 1, 1, true})))
            .ok());
    std::string unknownSource = messages[1];
    unknownSource[2] = 2;
    EXPECT_FALSE(request(unknownSource).ok());
}

std::string fixture(const char* name) {
    return QFile::encodeName(TestSupport::fixturePath(QString::fromUtf8(name))).toStdString();
}

TEST(IsolatedTagLibAccess, GivesExactlyWhatTheBridgeGivesInProcess) {
    const InProcessTagLibAccess inProcess;
    IsolatedTagLibAccess isolated(2);
    // Twice: the second time the helper sends the pictures as the slots it stored them in.
    std::map<std::string, BridgeRecord> firstRound;
    for (int round = 0; round < 2; ++round)
        for (const char* name :
             {"tagged.mp3", "pictures.mp3", "covers.m4a", "pictures.flac", "tagged.ogg", "tagged.opus",
              "tagged.wav", "tagged.aiff", "tagged.dsf", "tagged.dff", "untagged.m4b", "itunes-comments.mp3",
              "empty.mp3", "not-audio.mp3", "corrupt.flac", "missing.mp3"}) {
            SCOPED_TRACE(testing::Message() << name << " round " << round);
            const BridgeReadResult expected = inProcess.read(fixture(name), PictureContent::bytes);
            const BridgeReadResult actual = isolated.read(fixture(name), PictureContent::bytes);
            ASSERT_EQ(actual.ok(), expected.ok());
            if (!expected.ok()) {
                EXPECT_EQ(actual.error(), expected.error());
                continue;
            }
            EXPECT_EQ(actual.value(), expected.value());
            if (round == 0)
                firstRound[name] = actual.value();
            // Described only, the pictures come without their bytes and with the same digests.
            BridgeRecord described = isolated.read(fixture(name), PictureContent::descriptions).value();
            EXPECT_EQ(described, inProcess.read(fixture(name), PictureContent::descriptions).value());
            for (BridgePicture& picture : described.pictures) {
                EXPECT_TRUE(picture.data.isEmpty());
                picture.data = actual.value().pictures[&picture - described.pictures.data()].data;
            }
            EXPECT_EQ(described, actual.value());
        }
    const std::vector<BridgePicture>& covers = firstRound["covers.m4a"].pictures;
    ASSERT_FALSE(covers.empty());
    EXPECT_GT(covers[0].width, 0); // measured in the helper
    const BridgeReadResult again = isolated.read(fixture("covers.m4a"), PictureContent::bytes);
    EXPECT_EQ(again.value().pictures[0].data.constData(), covers[0].data.constData());
    // Helpers are reused: one call at a time on this thread needs a single one.
    EXPECT_EQ(isolated.workersStarted(), 1);
    EXPECT_EQ(isolated.workersKilled(), 0);
}

TEST(IsolatedTagLibAccess, AHelperThatCrashesHangsOrExhaustsMemoryFailsThatCallOnly) {
    TestSupport::ScratchFolder folder;
    QFile source(TestSupport::fixturePath(QStringLiteral("tagged.flac")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    auto copy = [&](const char* name) {
        return QFile::encodeName(folder.write(QString::fromUtf8(name), bytes)).toStdString();
    };

    IsolatedTagLibAccess access(2);
    access.setTimeLimits(3s, 3s);
    const QString stopped = QStringLiteral("The tag reader stopped unexpectedly");
    const QString tooLong = QStringLiteral("Reading the tags took too long");
    std::vector<std::pair<std::string, QStringList>> cases = {{copy("@crash@.flac"), {stopped}},
                                                              {copy("@hang@.flac"), {tooLong}}};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // no address-space limit under sanitizers
    // On a busy machine the allocation may outlast the time limit before it hits the memory limit.
    cases.push_back({copy("@alloc@.flac"), {stopped, tooLong}});
#endif
    const std::string good = copy("good.flac");
    for (const auto& [path, messages] : cases) {
        SCOPED_TRACE(path);
        const BridgeReadResult failed = access.read(path, PictureContent::bytes);
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().kind(), TagReaderError::Kind::readError);
        EXPECT_TRUE(messages.contains(failed.error().payload())) << failed.error().payload();
        EXPECT_TRUE(access.read(good, PictureContent::bytes).ok()); // a fresh helper takes over
    }
    EXPECT_EQ(access.workersKilled(), static_cast<int>(cases.size()));

    // A write that crashes fails and leaves the file alone.
    BridgeWriteRequest request = writeTo(cases.front().first);
    request.title = "Changed";
    EXPECT_EQ(access.write(request), BridgeWriteOutcome::failed);
    QFile crashed(QString::fromStdString(request.path));
    ASSERT_TRUE(crashed.open(QIODevice::ReadOnly));
    EXPECT_EQ(crashed.readAll(), bytes);
    request.path = good;
    EXPECT_EQ(access.write(request), BridgeWriteOutcome::written);
    EXPECT_EQ(access.read(good, PictureContent::bytes).value().title, "Changed");
}

TEST(IsolatedTagLibAccess, AHelperSlowToStartLeavesTheFileItsWholeLimit) {
    // As on a busy machine, where loading the program can take longer than a read's limit.
    setenv(TagWorker::startDelayVariable, "1500", 1);
    IsolatedTagLibAccess access(1);
    access.setTimeLimits(500ms, 500ms);
    const BridgeReadResult read = access.read(fixture("tagged.flac"), PictureContent::bytes);
    unsetenv(TagWorker::startDelayVariable);
    EXPECT_TRUE(read.ok()) << read.error().payload().toStdString();
    EXPECT_EQ(access.workersKilled(), 0);
}

// Real pictures as files hold them: the JPEG and PNG embedded in a fixture.
std::vector<QByteArray> fixturePictures() {
    const BridgeReadResult read =
        InProcessTagLibAccess().read(fixture("pictures.flac"), PictureContent::bytes);
    std::vector<QByteArray> pictures;
    for (const BridgePicture& picture : read.ok() ? read.value().pictures : std::vector<BridgePicture>())
        pictures.push_back(picture.data);
    return pictures;
}

// Equal but for the resolution in the JPEG header: a process without an application object assumes 100 dpi
// where the picture gives none, one with the offscreen platform 96.
void expectSameEncoding(const std::optional<EncodedPicture>& actual,
                        const std::optional<EncodedPicture>& expected) {
    ASSERT_TRUE(actual && expected);
    EXPECT_EQ(std::tuple(actual->format, actual->width, actual->height, actual->data.size()),
              std::tuple(expected->format, expected->width, expected->height, expected->data.size()));
    EXPECT_EQ(actual->data.mid(18), expected->data.mid(18));
}

TEST(IsolatedPictureDecoder, GivesWhatTheDecoderGivesInProcessAndFailsAloneOnAPictureThatCrashesOrHangs) {
    const std::vector<QByteArray> pictures = fixturePictures();
    ASSERT_GE(pictures.size(), 2u);
    TestSupport::ScratchFolder folder;
    const std::string file = QFile::encodeName(folder.write("cover.png", pictures[1])).toStdString();

    const InProcessPictureDecoder inProcess;
    IsolatedTagLibAccess helpers(2);
    IsolatedPictureDecoder isolated(helpers);
    for (const QByteArray& picture : pictures) {
        for (const FitImageRequest& fit :
             {FitImageRequest{picture, 7, 5}, FitImageRequest{picture, 4000, 4000}}) {
            const std::optional<QImage> expected = inProcess.fitImage(fit);
            ASSERT_TRUE(expected);
            EXPECT_EQ(isolated.fitImage(fit), expected);
        }
        const EncodePictureRequest shrink{picture, 3, 0.7, true};
        ASSERT_TRUE(inProcess.encodePicture(shrink));
        expectSameEncoding(isolated.encodePicture(shrink), inProcess.encodePicture(shrink));
    }
    const EncodePictureRequest chosen{file, std::nullopt, 0.9, false};
    ASSERT_TRUE(inProcess.encodePicture(chosen));
    expectSameEncoding(isolated.encodePicture(chosen), inProcess.encodePicture(chosen));
    EXPECT_FALSE(isolated.fitImage({"not a picture", 10, 10}));
    EXPECT_FALSE(isolated.encodePicture({folder.path().toStdString(), std::nullopt, 0.9, false})); // a folder
    EXPECT_EQ(helpers.workersKilled(), 0);

    // The marker may follow a picture's own bytes, as decoders ignore what follows.
    const QByteArray crashing = pictures[0] + "@picture-crash@";
    const std::string crashingFile =
        QFile::encodeName(folder.write("@picture-crash@.png", pictures[1])).toStdString();
    EXPECT_FALSE(isolated.fitImage({crashing, 100, 100}));
    EXPECT_FALSE(isolated.encodePicture({crashing, 100, 0.8, true}));
    EXPECT_FALSE(isolated.encodePicture({crashingFile, std::nullopt, 0.9, false}));
    EXPECT_TRUE(isolated.fitImage({pictures[0], 100, 100})); // a fresh helper takes over
    EXPECT_EQ(helpers.workersKilled(), 3);

    isolated.setTimeLimit(500ms);
    EXPECT_FALSE(isolated.fitImage({pictures[1] + "@picture-hang@", 100, 100}));
    EXPECT_EQ(helpers.workersKilled(), 4);
    isolated.setTimeLimit(IsolatedPictureDecoder::defaultTimeLimit);
    EXPECT_TRUE(isolated.encodePicture({pictures[1], 100, 0.8, true}));
}

TEST(IsolatedTagLibAccess, HelpersInheritNoOtherDescriptors) {
    // Without close-on-exec, and readable by this process under /proc/self/fd.
    const int fd = ::open(fixture("tagged.mp3").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string throughDescriptor = "/proc/self/fd/" + std::to_string(fd);
    EXPECT_TRUE(InProcessTagLibAccess().read(throughDescriptor, PictureContent::bytes).ok());
    IsolatedTagLibAccess isolated(1);
    const BridgeReadResult inHelper = isolated.read(throughDescriptor, PictureContent::bytes);
    ::close(fd);
    ASSERT_FALSE(inHelper.ok());
    // The helper has no such descriptor, or one of its own that is no regular file.
    EXPECT_TRUE(inHelper.error() == TagReaderError::missing() ||
                inHelper.error() == TagReaderError::notAFile())
        << inHelper.error().description().toStdString();
}

TEST(IsolatedTagLibAccess, ServesConcurrentCallsWithOneHelperEach) {
    IsolatedTagLibAccess access(8);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i)
                if (!access.read(fixture(i % 2 ? "tagged.m4a" : "pictures.flac"), PictureContent::bytes).ok())
                    ++failures;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_LE(access.workersStarted(), 8);
    EXPECT_EQ(access.workersKilled(), 0);
}

} // namespace
