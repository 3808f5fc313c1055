#include "QuireCore/TagReader.h"

#include "Platform/FileSystem.h"

#include <QRandomGenerator>

namespace {

template <typename T, std::size_t N> T pick(const T (&choices)[N]) {
    return choices[QRandomGenerator::global()->bounded(static_cast<int>(N))];
}

} // namespace

ReadResult MockTagReader::read(const QUrl& url) const {
    const AudioFormat format = detectAudioFormat(url).value_or(AudioFormat::mp3);

    // "03 - Intro" gives track 3 and title Intro; anything else is all title.
    const QString name = Platform::lastComponentWithoutExtension(url);
    TagSet tags;
    tags.title = name;
    const qsizetype separator = name.indexOf(QLatin1String(" - "));
    if (separator >= 0) {
        const std::optional<qint64> track = TagSet::parseInteger(name.left(separator).trimmed());
        if (track) {
            tags.trackNumber = QString::number(*track);
            tags.title = name.mid(separator + 3);
        }
    }

    static const qint64 bitrates[] = {128, 192, 256, 320, 1411};
    static const qint64 sampleRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
    static const qint64 channelCounts[] = {1, 2, 2, 2, 6};
    AudioProperties properties;
    properties.duration = 120.0 + QRandomGenerator::global()->generateDouble() * 300.0;
    properties.bitrate = pick(bitrates);
    properties.sampleRate = pick(sampleRates);
    properties.channels = pick(channelCounts);
    properties.codec = displayName(format);
    return AudioFile(QUuid::createUuid(), url, format, std::nullopt, properties, tags, {});
}
