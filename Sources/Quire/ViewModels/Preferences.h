#pragma once

#include "Quire/ViewModels/Lookup/ReleaseLookup.h"

#include <QString>

class QSettings;

// The keys of the user's preferences and the values used while a key is
// absent. Stored as strings and doubles. The editor and the command line read
// one store; every preference is read where it takes effect, when that starts
// (a save, a sheet opening), so a change applies at once.
namespace PreferenceKeys {
inline const QString defaultID3Version = QStringLiteral("defaultID3Version");
inline const QString artworkJPEGQuality = QStringLiteral("artworkJPEGQuality");
inline const QString artworkMaxDimension = QStringLiteral("artworkMaxDimension");
inline const QString renamePatternPreset = QStringLiteral("renamePatternPreset");
inline const QString tagsFromFilenamePreset = QStringLiteral("tagsFromFilenamePreset");
inline const QString readCacheEnabled = QStringLiteral("readCacheEnabled");
inline const QString musicBrainzURL = QStringLiteral("musicBrainzURL");
inline const QString coverArtArchiveURL = QStringLiteral("coverArtArchiveURL");
} // namespace PreferenceKeys

namespace Preferences {
// The store's organisation and application names, as the editor sets them.
inline const QString organization = QStringLiteral("Cadenza");
inline const QString application = QStringLiteral("Cadenza");
// The stored choices of the default ID3 version.
inline const QString id3v23 = QStringLiteral("ID3v2.3");
inline const QString id3v24 = QStringLiteral("ID3v2.4");
// The version (3 or 4) of the ID3v2 tags saves create: 4 unless ID3v2.3 is chosen.
int newId3v2Version(const QSettings& settings);

// What the optimise-artwork sheet starts at: the longest edge in pixels
// (100 to 3000) and the JPEG quality (0.1 to 1.0); stored values outside are
// brought within.
inline constexpr int defaultArtworkMaxDimension = 1000;
inline constexpr double defaultArtworkJPEGQuality = 0.8;
int artworkMaxDimension(const QSettings& settings);
double artworkJPEGQuality(const QSettings& settings);

// The patterns the rename and tags-from-filename sheets propose first; an
// empty or blank stored pattern proposes the default.
inline const QString defaultRenamePattern = QStringLiteral("{track} - {title}");
inline const QString defaultTagsFromFilenamePattern = QStringLiteral("{trackNumber} - {title}");
QString renamePatternPreset(const QSettings& settings);
QString tagsFromFilenamePreset(const QSettings& settings);

// Whether imports take the records of unchanged files from the read cache
// (ReadCache); on unless turned off.
bool readCacheEnabled(const QSettings& settings);
// The read cache the document uses: ReadCache::defaultPath(), or none (empty) when it is off.
QString readCachePath(const QSettings& settings);

// Where online lookups go: the stored base addresses of the MusicBrainz web
// service and the Cover Art Archive, each overridden by the environment
// variable named below when that is set (the command line's tests point them
// at a local server). An address that is not http or https is the default's.
inline const char* const musicBrainzURLVariable = "CADENZA_MUSICBRAINZ_URL";
inline const char* const coverArtURLVariable = "CADENZA_COVERART_URL";
LookupServices lookupServices(const QSettings& settings);
} // namespace Preferences
