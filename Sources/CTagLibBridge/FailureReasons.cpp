// Why a file could not be read or written, in words a user understands.
#include "BridgeInternal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace ctaglib {
namespace {

int32_t codeOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return CTAGLIB_MISSING;
    case EACCES:
    case EPERM:
        return CTAGLIB_NO_PERMISSION;
    case EROFS:
        return CTAGLIB_READ_ONLY_FILE_SYSTEM;
    default:
        return CTAGLIB_FAILED;
    }
}

std::string head(const char* path, size_t size) {
    std::string bytes(size, '\0');
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return {};
    bytes.resize(std::fread(bytes.data(), 1, size, file));
    std::fclose(file);
    return bytes;
}

// Whether the first Ogg pages start more than one logical stream. Every
// stream's first page (flag 0x02) comes before any other page of the file.
bool startsSeveralOggStreams(const std::string& bytes) {
    std::set<uint32_t> serials;
    size_t pos = 0;
    while (pos + 27 <= bytes.size() && bytes.compare(pos, 4, "OggS") == 0) {
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
        if (!(byte(5) & 0x02))
            break;
        serials.insert(uint32_t(byte(14)) | uint32_t(byte(15)) << 8 | uint32_t(byte(16)) << 16 |
                       uint32_t(byte(17)) << 24);
        const size_t segments = byte(26);
        if (pos + 27 + segments > bytes.size())
            break;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i)
            body += byte(27 + i);
        pos += 27 + segments + body;
    }
    return serials.size() > 1;
}

} // namespace

int32_t accessFailure(const char* path, bool forWriting) {
    struct stat status {};
    if (stat(path, &status) != 0)
        return codeOfErrno(errno);
    if (access(path, forWriting ? W_OK : R_OK) != 0)
        return codeOfErrno(errno);
    struct statvfs fileSystem {};
    if (forWriting && statvfs(path, &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY))
        return CTAGLIB_READ_ONLY_FILE_SYSTEM;
    return CTAGLIB_OK;
}

ReadFailure whyUnreadable(const char* path) {
    if (const int32_t code = accessFailure(path, false)) {
        switch (code) {
        case CTAGLIB_MISSING:
            return {code, "The file does not exist"};
        case CTAGLIB_NO_PERMISSION:
            return {code, "No permission to read the file"};
        default:
            return {CTAGLIB_FAILED, "Could not open file"};
        }
    }
    struct stat status {};
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        return {CTAGLIB_FAILED, "Could not open file"}; // a folder, a device...
    // Enough for the first pages of a few Ogg streams.
    const std::string bytes = head(path, 64 * 1024);
    if (bytes.empty())
        return {CTAGLIB_EMPTY_FILE, "The file is empty"};
    if (bytes.compare(0, 4, "RF64") == 0 || bytes.compare(0, 4, "BW64") == 0)
        return {CTAGLIB_UNSUPPORTED_VARIANT, "RF64 WAV files are not supported"};
    if (startsSeveralOggStreams(bytes))
        return {CTAGLIB_UNSUPPORTED_VARIANT, "Ogg files with several streams are not supported"};
    const std::string name(path);
    const size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp3")
        return {CTAGLIB_FAILED, "No MPEG audio was found in the file"};
    static const std::pair<const char*, const char*> damaged[] = {
        {"flac", "The file is damaged or is not a FLAC file"},
        {"m4a", "The file is damaged or is not an MP4 file"},
        {"m4b", "The file is damaged or is not an MP4 file"},
        {"wav", "The file is damaged or is not a WAV file"},
        {"aif", "The file is damaged or is not an AIFF file"},
        {"aiff", "The file is damaged or is not an AIFF file"},
        {"ogg", "The file is damaged or is not an Ogg Vorbis file"},
        {"opus", "The file is damaged or is not an Opus file"},
        {"dsf", "The file is damaged or is not a DSF file"},
        {"dff", "The file is damaged or is not a DSDIFF file"},
    };
    for (const auto& [known, text] : damaged) {
        if (extension == known)
            return {CTAGLIB_FAILED, text};
    }
    return {CTAGLIB_FAILED, "Could not open file"};
}

} // namespace ctaglib
