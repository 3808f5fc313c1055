#pragma once

#include <QString>

class QSettings;

// The keys of the user's preferences and the values used while a key is
// absent. Stored as strings and doubles. The editor and the command line read
// one store.
namespace PreferenceKeys {
inline const QString defaultID3Version = QStringLiteral("defaultID3Version");
inline const QString defaultEncoding = QStringLiteral("defaultEncoding");
inline const QString artworkJPEGQuality = QStringLiteral("artworkJPEGQuality");
inline const QString artworkMaxDimension = QStringLiteral("artworkMaxDimension");
inline const QString renamePatternPreset = QStringLiteral("renamePatternPreset");
inline const QString tagsFromFilenamePreset = QStringLiteral("tagsFromFilenamePreset");
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
} // namespace Preferences
