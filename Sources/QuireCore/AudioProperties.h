#pragma once

#include "QuireCore/JsonDecoding.h"

#include <QString>

// Technical properties of an audio stream, with the texts the views show.
struct AudioProperties {
    double duration = 0;   // seconds
    qint64 bitrate = 0;    // kilobits per second
    qint64 sampleRate = 0; // hertz
    qint64 channels = 0;
    QString codec{};

    bool operator==(const AudioProperties&) const = default;

    QString formattedDuration() const;   // 3:07, 59:59, 1:00:00
    QString formattedBitrate() const;    // 320 kbps
    QString formattedSampleRate() const; // 44.1 kHz
    QString formattedChannels() const;   // Mono, Stereo, 5.1, 7.1, 4ch

    QJsonObject toJson() const;
    static Decoded<AudioProperties> fromJson(const QJsonValue& json);
};
