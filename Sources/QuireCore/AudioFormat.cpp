#include "QuireCore/AudioFormat.h"

#include "Platform/FileSystem.h"
#include "QuireCore/RawValue.h"

QString rawValue(TagContainer container) {
    switch (container) {
    case TagContainer::id3v1:
        return QStringLiteral("id3v1");
    case TagContainer::id3v2:
        return QStringLiteral("id3v2");
    case TagContainer::mp4:
        return QStringLiteral("mp4");
    case TagContainer::vorbis:
        return QStringLiteral("vorbis");
    case TagContainer::riff:
        return QStringLiteral("riff");
    case TagContainer::ape:
        return QStringLiteral("ape");
    }
    Q_UNREACHABLE();
}

std::optional<TagContainer> tagContainerFromRawValue(QStringView raw) {
    return caseWithRawValue(allTagContainers, raw);
}

namespace {

struct FormatInfo {
    const char* rawValue;
    const char* displayName;
    std::initializer_list<const char*> extensions;
    TagContainer container;
};

const FormatInfo& infoOf(AudioFormat format) {
    static const FormatInfo table[] = {
        {"mp3", "MP3", {"mp3"}, TagContainer::id3v2},
        {"m4a", "AAC", {"m4a"}, TagContainer::mp4},
        {"m4b", "Audiobook", {"m4b"}, TagContainer::mp4},
        {"flac", "FLAC", {"flac"}, TagContainer::vorbis},
        {"wav", "WAV", {"wav"}, TagContainer::riff},
        {"aiff", "AIFF", {"aiff", "aif"}, TagContainer::id3v2},
        {"ogg", "Ogg", {"ogg"}, TagContainer::vorbis},
        {"opus", "Opus", {"opus"}, TagContainer::vorbis},
        {"dsf", "DSF", {"dsf"}, TagContainer::id3v2},
        {"dsdiff", "DSDIFF", {"dff"}, TagContainer::id3v2},
    };
    return table[static_cast<int>(format)];
}

} // namespace

QString rawValue(AudioFormat format) {
    return QLatin1String(infoOf(format).rawValue);
}

std::optional<AudioFormat> audioFormatFromRawValue(QStringView raw) {
    return caseWithRawValue(allAudioFormats, raw);
}

QString displayName(AudioFormat format) {
    return QLatin1String(infoOf(format).displayName);
}

QStringList fileExtensions(AudioFormat format) {
    QStringList extensions;
    for (const char* extension : infoOf(format).extensions)
        extensions.append(QLatin1String(extension));
    return extensions;
}

TagContainer defaultTagContainer(AudioFormat format) {
    return infoOf(format).container;
}

std::optional<AudioFormat> detectAudioFormat(const QUrl& url) {
    const QString extension = Platform::pathExtension(url).toLower();
    for (AudioFormat format : allAudioFormats) {
        if (fileExtensions(format).contains(extension))
            return format;
    }
    return std::nullopt;
}

QStringList supportedAudioExtensions() {
    QStringList extensions;
    for (AudioFormat format : allAudioFormats)
        extensions += fileExtensions(format);
    return extensions;
}
