#include "QuireTagHelper/TagHelper.h"

#include "QuireCore/PictureDecoder.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerProtocol.h"
#include "QuireTagHelper/InProcessTagLibAccess.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Sanitizers reserve terabytes of address space for their shadow memory, so
// an address-space limit would stop them from starting.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CADENZA_HELPER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define CADENZA_HELPER_SANITIZED 1
#endif
#endif

namespace {

// Far above what any real file needs, low enough that a runaway allocation
// ends this helper long before it troubles the machine.
constexpr rlim_t addressSpaceLimit = rlim_t{2} << 30;

void limitResources() {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
#ifndef CADENZA_HELPER_SANITIZED
    rlimit space{};
    if (getrlimit(RLIMIT_AS, &space) == 0) {
        space.rlim_cur =
            space.rlim_cur == RLIM_INFINITY ? addressSpaceLimit : std::min(space.rlim_cur, addressSpaceLimit);
        setrlimit(RLIMIT_AS, &space);
    }
#endif
}

bool readExactly(int fd, char* data, size_t size) {
    while (size > 0) {
        const ssize_t count = ::read(fd, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

bool writeAll(int fd, const std::string& bytes) {
    const char* data = bytes.data();
    size_t size = bytes.size();
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

struct Faults {
    std::string crash, hang, alloc;
};

// The markers whose names start with `prefix` ("" for tags, "picture-" for pictures).
Faults faultsFromEnvironment(std::string_view prefix) {
    Faults faults;
    const char* value = std::getenv(TagWorker::faultVariable);
    std::string_view rest = value ? value : "";
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view item = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos || equals + 1 == item.size())
            continue;
        std::string_view name = item.substr(0, equals);
        if (!name.starts_with(prefix))
            continue;
        name.remove_prefix(prefix.size());
        const std::string marker(item.substr(equals + 1));
        if (name == "crash")
            faults.crash = marker;
        else if (name == "hang")
            faults.hang = marker;
        else if (name == "alloc")
            faults.alloc = marker;
    }
    return faults;
}

void injectFaults(const Faults& faults, std::string_view subject) {
    auto hit = [&](const std::string& marker) {
        return !marker.empty() && subject.find(marker) != std::string_view::npos;
    };
    if (hit(faults.crash))
        std::abort();
    if (hit(faults.hang))
        for (;;)
            pause();
    if (hit(faults.alloc)) {
        std::vector<char*> blocks;
        for (;;) {
            char* block = new char[64 << 20];
            std::memset(block, 1, 64 << 20);
            blocks.push_back(block);
        }
    }
}

// The pictures this helper has sent, in the protocol's slots: a picture sent
// again goes as its slot, with the size measured the first time. The least
// recently used slot is reused. Large pictures always go whole, so that the
// slots (here and in the parent) never hold much.
class SentPictures {
public:
    static constexpr qsizetype largestShared = qsizetype{2} << 20;

    TagWorkerProtocol::PicturePlacement place(BridgePicture& picture) {
        using Kind = TagWorkerProtocol::PicturePlacement::Kind;
        if (picture.data.isEmpty() || picture.data.size() > largestShared) {
            measurePicture(picture);
            return {};
        }
        ++m_clock;
        for (uint8_t i = 0; i < m_slots.size(); ++i) {
            Slot& slot = m_slots[i];
            if (slot.picture.data.size() == picture.data.size() && slot.picture.data == picture.data) {
                slot.lastUse = m_clock;
                picture.width = slot.picture.width;
                picture.height = slot.picture.height;
                picture.size = slot.picture.size;
                picture.digest = slot.picture.digest;
                return {Kind::repeated, i};
            }
        }
        measurePicture(picture);
        const auto oldest =
            std::min_element(m_slots.begin(), m_slots.end(),
                             [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
        *oldest = {picture, m_clock};
        oldest->picture.data.detach(); // the read's bytes may be borrowed
        return {Kind::stored, static_cast<uint8_t>(oldest - m_slots.begin())};
    }

private:
    struct Slot {
        BridgePicture picture;
        uint64_t lastUse = 0;
    };
    std::array<Slot, TagWorkerProtocol::pictureSlotCount> m_slots;
    uint64_t m_clock = 0;
};

std::string_view viewOf(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
}

struct Helper {
    InProcessTagLibAccess access;
    Faults faults;
    SentPictures sent;
    InProcessPictureDecoder decoder;
    Faults pictureFaults; // matched by a picture's bytes, or by its file's path

    std::string serve(const TagWorkerProtocol::ReadRequest& request) {
        injectFaults(faults, request.path);
        // The pictures' bytes stay in the bridge's record: most are repeats
        // that are only compared, never copied.
        std::shared_ptr<void> bridgeRecord;
        BridgeReadResult result = InProcessTagLibAccess::readUnmeasured(request.path, &bridgeRecord);
        if (!result)
            return TagWorkerProtocol::encodeReadReply(result);
        BridgeRecord record = std::move(result).value();
        if (request.pictures == PictureContent::descriptions) {
            for (BridgePicture& picture : record.pictures) {
                measurePicture(picture);
                picture.data = QByteArray();
            }
            return TagWorkerProtocol::encodeReadReply(record);
        }
        std::vector<TagWorkerProtocol::PicturePlacement> placements;
        for (BridgePicture& picture : record.pictures)
            placements.push_back(sent.place(picture));
        return TagWorkerProtocol::encodeReadReply(record, placements);
    }

    std::string serve(const BridgeWriteRequest& request) {
        injectFaults(faults, request.path);
        return TagWorkerProtocol::encodeWriteReply(access.write(request));
    }

    std::string serve(const FitImageRequest& request) {
        injectFaults(pictureFaults, viewOf(request.data));
        return TagWorkerProtocol::encodeImageReply(decoder.fitImage(request));
    }

    std::string serve(const EncodePictureRequest& request) {
        const auto* bytes = std::get_if<QByteArray>(&request.source);
        injectFaults(pictureFaults, bytes ? viewOf(*bytes) : std::get<std::string>(request.source));
        return TagWorkerProtocol::encodeEncodedPictureReply(decoder.encodePicture(request));
    }
};

[[noreturn]] void runWorker(const char* parentId) {
    // Die with the parent, also when it dies before this line: then the parent
    // is no longer the one that started us.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!parentId || std::to_string(getppid()) != parentId)
        _exit(1);
    limitResources();
    // Each read allocates and frees a few copies of its pictures (hundreds of
    // kilobytes). By default those come from fresh mappings or are handed
    // back to the system after every file, so every file pays page faults;
    // a helper keeps its memory instead.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);

    // The protocol gets descriptors of its own; anything a library prints to
    // standard output goes to standard error instead of into a reply.
    const int requests = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    const int replies = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (requests < 0 || replies < 0)
        _exit(1);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull < 0 || dup2(devNull, STDIN_FILENO) < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        _exit(1);
    close(devNull);

    Helper helper{{}, faultsFromEnvironment(""), {}, {}, faultsFromEnvironment("picture-")};
    if (const char* delay = std::getenv(TagWorker::startDelayVariable))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
    if (!writeAll(replies, std::string(1, TagWorkerProtocol::readySignal)))
        std::exit(0);
    for (;;) {
        char header[TagWorkerProtocol::frameHeaderSize];
        if (!readExactly(requests, header, sizeof header))
            std::exit(0); // the parent closed the pipe: no more work
        const auto size = TagWorkerProtocol::decodeFrameHeader(std::string_view(header, sizeof header));
        if (!size)
            std::exit(2);
        std::string payload(size.value(), '\0');
        if (!readExactly(requests, payload.data(), payload.size()))
            std::exit(2);
        const auto request = TagWorkerProtocol::decodeRequest(payload);
        if (!request)
            std::exit(2);
        const std::string reply =
            std::visit([&](const auto& message) { return helper.serve(message); }, request.value());
        if (!writeAll(replies, reply))
            std::exit(0);
    }
}

} // namespace

void runTagWorkerIfRequested(int argc, char** argv) {
    TagWorker::installEntry();
    if (argc >= 2 && std::strcmp(argv[1], TagWorker::flag) == 0)
        runWorker(argc >= 3 ? argv[2] : nullptr);
}
