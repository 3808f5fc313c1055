// Concurrent reads. Each test runs in a process of its own under CTest, so the
// reads here are the first the process makes: they also exercise TagLib's
// lazily built tables, which the bridge fills once before any read.
#include "BridgeTestSupport.h"

#include <gtest/gtest.h>

#include <latch>
#include <sstream>
#include <thread>

using namespace BridgeTest;
using TestSupport::ScopedFileCopy;

namespace {

// Everything a record holds, as text, so that results can be compared.
std::string describe(const CTagLibTag* record) {
    if (!record)
        return "null";
    std::ostringstream out;
    PrintTo(tagsOf(*record), &out);
    out << " type=" << (record->fileType ? record->fileType : "-")
        << " error=" << (record->error ? record->error : "-") << " duration=" << record->duration
        << " bitrate=" << record->bitrate << " rate=" << record->sampleRate
        << " channels=" << record->channels;
    for (const ReadPicture& picture : picturesOf(*record)) {
        out << " picture:";
        PrintTo(picture, &out);
        out << " hash=" << std::hash<std::string>{}(picture.data);
    }
    return out.str();
}

TEST(CTagLibConcurrentReads, EveryFormatReadsTheSameOnManyThreads) {
    std::vector<std::unique_ptr<ScopedFileCopy>> copies;
    for (const std::string& extension : allExtensions())
        copies.push_back(std::make_unique<ScopedFileCopy>(QString::fromStdString("tagged." + extension)));
    for (const char* other :
         {"pictures.flac", "pictures.mp3", "covers.m4a", "itunes-comments.mp3", "not-audio.mp3"})
        copies.push_back(std::make_unique<ScopedFileCopy>(QString::fromLatin1(other)));
    std::vector<QByteArray> paths;
    for (const auto& copy : copies)
        paths.push_back(copy->nativePath());

    constexpr int kThreads = 8;
    constexpr int kRounds = 5;
    std::vector<std::vector<std::string>> results(kThreads, std::vector<std::string>(paths.size() * kRounds));
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait(); // all threads make their first read at the same moment
            for (int round = 0; round < kRounds; ++round) {
                for (size_t i = 0; i < paths.size(); ++i) {
                    // Each thread walks the files from a different starting point.
                    const size_t file = (i + static_cast<size_t>(t) * 3) % paths.size();
                    CTagLibTag* record = ctaglib_read(paths[file].constData());
                    results[t][round * paths.size() + file] = describe(record);
                    ctaglib_free_result(record);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    for (size_t file = 0; file < paths.size(); ++file) {
        SCOPED_TRACE(paths[file].constData());
        const std::string expected = describe(read(paths[file]).get());
        for (int t = 0; t < kThreads; ++t) {
            for (int round = 0; round < kRounds; ++round)
                ASSERT_EQ(results[t][round * paths.size() + file], expected)
                    << "thread " << t << " round " << round;
        }
    }
}

TEST(CTagLibConcurrentReads, ReadsOfOneFileWhileAnotherIsWritten) {
    const ScopedFileCopy reading("tagged.m4a");
    const ScopedFileCopy writing("untagged.m4a");
    const std::string expected = describe(read(reading.nativePath()).get());
    std::thread writer([&] {
        Tags tags = fullTags();
        for (int i = 0; i < 10; ++i) {
            tags.track = std::to_string(i + 1);
            EXPECT_EQ(write(writing.nativePath(), tags, twoPictures()), 0);
        }
    });
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(describe(read(reading.nativePath()).get()), expected);
    writer.join();
    EXPECT_EQ(tagsOf(*read(writing.nativePath())).track, "10");
}

} // namespace
