#include "Quire/ViewModels/Preferences.h"

#include "Quire/ViewModels/ReadCache.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

int Preferences::newId3v2Version(const QSettings& settings) {
    return settings.value(PreferenceKeys::defaultID3Version).toString() == id3v23 ? 3 : 4;
}

namespace {

double storedNumber(const QSettings& settings, const QString& key, double fallback, double low, double high) {
    bool ok = false;
    const double value = settings.value(key, fallback).toDouble(&ok);
    return ok && std::isfinite(value) ? std::clamp(value, low, high) : fallback;
}

QString storedPattern(const QSettings& settings, const QString& key, const QString& fallback) {
    const QString stored = settings.value(key).toString();
    return stored.trimmed().isEmpty() ? fallback : stored;
}

} // namespace

int Preferences::artworkMaxDimension(const QSettings& settings) {
    return int(std::lround(
        storedNumber(settings, PreferenceKeys::artworkMaxDimension, defaultArtworkMaxDimension, 100, 3000)));
}

double Preferences::artworkJPEGQuality(const QSettings& settings) {
    return storedNumber(settings, PreferenceKeys::artworkJPEGQuality, defaultArtworkJPEGQuality, 0.1, 1.0);
}

QString Preferences::renamePatternPreset(const QSettings& settings) {
    return storedPattern(settings, PreferenceKeys::renamePatternPreset, defaultRenamePattern);
}

QString Preferences::tagsFromFilenamePreset(const QSettings& settings) {
    return storedPattern(settings, PreferenceKeys::tagsFromFilenamePreset, defaultTagsFromFilenamePattern);
}

bool Preferences::readCacheEnabled(const QSettings& settings) {
    return settings.value(PreferenceKeys::readCacheEnabled, true).toBool();
}

QString Preferences::readCachePath(const QSettings& settings) {
    return readCacheEnabled(settings) ? ReadCache::defaultPath() : QString();
}

LookupServices Preferences::lookupServices(const QSettings& settings) {
    const auto address = [&settings](const QString& key, const char* variable, const QUrl& fallback) {
        const QByteArray overridden = qgetenv(variable);
        const QUrl url = overridden.isEmpty() ? QUrl(settings.value(key).toString().trimmed())
                                              : QUrl(QString::fromUtf8(overridden).trimmed());
        const bool usable =
            url.isValid() && !url.host().isEmpty() && (url.scheme() == u"http" || url.scheme() == u"https");
        return usable ? url : fallback;
    };
    const LookupServices defaults;
    return {address(PreferenceKeys::musicBrainzURL, musicBrainzURLVariable, defaults.musicBrainz),
            address(PreferenceKeys::coverArtArchiveURL, coverArtURLVariable, defaults.coverArt)};
}
