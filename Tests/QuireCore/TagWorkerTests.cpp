#include "CTagLibBridge.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerProtocol.h"

#include "Support/TestSupport.h"

#include <QFile>
#include <QtEndian>
#include <atomic>
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
    setenv(TagWorker::faultVariable, "crash=@crash@;hang=@hang@;alloc=@alloc@", 1);
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
    record.year = 1999;
    record.bpm = -5;
    record.compilation = 1;
    record.duration = 215;
    record.bitrate = 320;
    record.sampleRate = 44100;
    record.channels = 2;
    record.codec = "MP3";
    record.fileType = "MP3";
    record.pictures = {{QByteArray("\xff\xd8 jpeg", 7), "image/jpeg", "Front", 3, 600, 500},
                       {QByteArray(), std::nullopt, std::nullopt, 0}};
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
    request.track = 3;
    request.trackTotal = 12;
    request.compilation = 0;
    request.fields = CTAGLIB_FIELD_TITLE | CTAGLIB_FIELD_LYRICS;
    request.pictures = std::vector<BridgePicture>{{QByteArray(300, 'x'), "image/png", std::nullopt, 4}};
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
         {TagReaderError::failedToOpen(), TagReaderError::readError("No tag found")}) {
        const auto decoded = decodeReply(payloadOf(Protocol::encodeReadReply(error)));
        ASSERT_TRUE(decoded.ok());
        EXPECT_EQ(decoded.value().error(), error);
    }
    for (BridgeWriteOutcome outcome :
         {BridgeWriteOutcome::written, BridgeWriteOutcome::failed, BridgeWriteOutcome::tagsNotReadCompletely})
        EXPECT_EQ(Protocol::decodeWriteReply(payloadOf(Protocol::encodeWriteReply(outcome))).value(),
                  outcome);
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
            const BridgeReadResult expected = inProcess.read(fixture(name));
            const BridgeReadResult actual = isolated.read(fixture(name));
            ASSERT_EQ(actual.ok(), expected.ok());
            if (!expected.ok()) {
                EXPECT_EQ(actual.error(), expected.error());
                continue;
            }
            EXPECT_EQ(actual.value(), expected.value());
            if (round == 0)
                firstRound[name] = actual.value();
        }
    const std::vector<BridgePicture>& covers = firstRound["covers.m4a"].pictures;
    ASSERT_FALSE(covers.empty());
    EXPECT_GT(covers[0].width, 0); // measured in the helper
    const BridgeReadResult again = isolated.read(fixture("covers.m4a"));
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
        const BridgeReadResult failed = access.read(path);
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().kind(), TagReaderError::Kind::readError);
        EXPECT_TRUE(messages.contains(failed.error().payload())) << failed.error().payload();
        EXPECT_TRUE(access.read(good).ok()); // a fresh helper takes over
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
    EXPECT_EQ(access.read(good).value().title, "Changed");
}

TEST(IsolatedTagLibAccess, HelpersInheritNoOtherDescriptors) {
    // Without close-on-exec, and readable by this process under /proc/self/fd.
    const int fd = ::open(fixture("tagged.mp3").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string throughDescriptor = "/proc/self/fd/" + std::to_string(fd);
    EXPECT_TRUE(InProcessTagLibAccess().read(throughDescriptor).ok());
    IsolatedTagLibAccess isolated(1);
    const BridgeReadResult inHelper = isolated.read(throughDescriptor);
    ::close(fd);
    ASSERT_FALSE(inHelper.ok());
    EXPECT_EQ(inHelper.error(), TagReaderError::readError("Could not open file"));
}

TEST(IsolatedTagLibAccess, ServesConcurrentCallsWithOneHelperEach) {
    IsolatedTagLibAccess access(8);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i)
                if (!access.read(fixture(i % 2 ? "tagged.m4a" : "pictures.flac")).ok())
                    ++failures;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_LE(access.workersStarted(), 8);
    EXPECT_EQ(access.workersKilled(), 0);
}

} // namespace
