#include "QuireCore/AudioProperties.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

QString AudioProperties::formattedDuration() const {
    // The reader only produces finite, non-negative durations; a decoded record
    // may hold anything, so clamp rather than convert an out-of-range double.
    const double clamped = std::isfinite(duration) ? std::clamp(duration, 0.0, 1e15) : 0.0;
    const qint64 seconds = static_cast<qint64>(std::trunc(clamped));
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 secs = seconds % 60;
    if (seconds < 3600)
        return QString::asprintf("%lld:%02lld", minutes, secs);
    return QString::asprintf("%lld:%02lld:%02lld", seconds / 3600, minutes, secs);
}

QString AudioProperties::formattedBitrate() const {
    return QStringLiteral("%1 kbps").arg(bitrate);
}

QString AudioProperties::formattedSampleRate() const {
    return QString::asprintf("%.1f kHz", static_cast<double>(sampleRate) / 1000.0);
}

QString AudioProperties::formattedChannels() const {
    switch (channels) {
    case 1:
        return QCoreApplication::translate("AudioProperties", "Mono");
    case 2:
        return QCoreApplication::translate("AudioProperties", "Stereo");
    case 6:
        return QStringLiteral("5.1");
    case 8:
        return QStringLiteral("7.1");
    default:
        return QStringLiteral("%1ch").arg(channels);
    }
}

QJsonObject AudioProperties::toJson() const {
    return {{QStringLiteral("duration"), duration},
            {QStringLiteral("bitrate"), bitrate},
            {QStringLiteral("sampleRate"), sampleRate},
            {QStringLiteral("channels"), channels},
            {QStringLiteral("codec"), codec}};
}

Decoded<AudioProperties> AudioProperties::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "AudioProperties");
    AudioProperties properties;
    properties.duration = record.requiredDouble("duration");
    properties.bitrate = record.requiredInteger("bitrate");
    properties.sampleRate = record.requiredInteger("sampleRate");
    properties.channels = record.requiredInteger("channels");
    properties.codec = record.requiredString("codec");
    return record.finish(std::move(properties));
}
