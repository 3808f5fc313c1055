#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>
#include <array>
#include <optional>

// The kind of tag block a file carries.
enum class TagContainer { id3v1, id3v2, mp4, vorbis, riff, ape };

inline constexpr std::array<TagContainer, 6> allTagContainers = {TagContainer::id3v1, TagContainer::id3v2,
                                                                 TagContainer::mp4,   TagContainer::vorbis,
                                                                 TagContainer::riff,  TagContainer::ape};

QString rawValue(TagContainer container);
std::optional<TagContainer> tagContainerFromRawValue(QStringView raw);

// A supported audio format, recognised by the file name extension alone.
// Declaration order is the order of detection.
enum class AudioFormat { mp3, m4a, m4b, flac, wav, aiff, ogg, opus, dsf, dsdiff };

inline constexpr std::array<AudioFormat, 10> allAudioFormats = {
    AudioFormat::mp3,  AudioFormat::m4a, AudioFormat::m4b,  AudioFormat::flac, AudioFormat::wav,
    AudioFormat::aiff, AudioFormat::ogg, AudioFormat::opus, AudioFormat::dsf,  AudioFormat::dsdiff};

QString rawValue(AudioFormat format);
std::optional<AudioFormat> audioFormatFromRawValue(QStringView raw);
QString displayName(AudioFormat format);
// Lower-case, without the dot.
QStringList fileExtensions(AudioFormat format);
// The container a file of this format carries unless told otherwise.
TagContainer defaultTagContainer(AudioFormat format);

// The format whose extensions contain the URL's last extension, compared
// without regard to case; none for an unsupported or missing extension.
std::optional<AudioFormat> detectAudioFormat(const QUrl& url);
// Every extension the program accepts: the union of the formats' lists.
QStringList supportedAudioExtensions();
