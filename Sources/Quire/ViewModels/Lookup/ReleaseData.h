#pragma once

#include "QuireCore/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// What the MusicBrainz web service (version 2, JSON) and the Cover Art Archive
// say about releases, read into plain values. Network-free: the client hands
// the bytes of an answer to these parsers, and an answer that is not what the
// service documents is an error, never a half-read release.
namespace MusicBrainz {

// An artist credit as the service gives it: the names as credited, joined by
// their join phrases ("A feat. B"), the same with the artists' sort names, and
// the credited artists' identifiers in order.
struct ArtistCredit {
    QString name;
    QString sortName;
    QStringList artistIds;
    bool operator==(const ArtistCredit&) const = default;
};

struct Track {
    QString id;          // the track on this release
    QString recordingId; // the recording it plays
    int position = 0;    // 1-based on its medium
    QString title;
    std::optional<qint64> lengthMs;
    ArtistCredit artist; // the release's credit when the track has none of its own
    bool operator==(const Track&) const = default;
};

struct Medium {
    int position = 1; // the disc number
    QString format;   // "CD", "Digital Media", may be empty
    int trackCount = 0;
    QList<Track> tracks;
    bool operator==(const Medium&) const = default;
};

// A release as a search lists it, and the head of a looked-up release.
struct ReleaseSummary {
    QString id;
    QString title;
    ArtistCredit artist;
    QString date; // as given: "2003", "2003-05", "2003-05-12"; may be empty
    QString country;
    QString format; // of the media, joined: "2×CD", "CD + DVD"
    QString label;
    QString barcode;
    QString releaseGroupId;
    int trackCount = 0; // over all media
    int discCount = 0;
    int serviceScore = 0; // the search's own score, 0 to 100; 100 for a release looked up by id
    bool operator==(const ReleaseSummary&) const = default;
};

struct Release {
    ReleaseSummary summary;
    QList<Medium> media;
    bool operator==(const Release&) const = default;
    QList<const Track*> allTracks() const;
};

// The sizes the Cover Art Archive offers for an image: thumbnails by their
// longest edge, or the image as uploaded.
enum class CoverSize { small = 250, medium = 500, large = 1200, full = 0 };
std::optional<CoverSize> coverSizeFromText(QStringView text); // "250", "500", "1200", "full"
QString coverSizeText(CoverSize size);

// Parsers of the answers' bytes; the error says what was wrong, for the user.
Result<QList<ReleaseSummary>, QString> parseSearch(const QByteArray& json);
Result<Release, QString> parseRelease(const QByteArray& json);
// The front image of a Cover Art Archive listing at `size` (the full image when
// the listing has no thumbnail of that size); none when there is no front image.
Result<std::optional<QUrl>, QString> parseFrontCover(const QByteArray& json, CoverSize size);

// The release a user names: a bare identifier or an address holding
// "/release/<identifier>"; none for anything else.
std::optional<QString> releaseIdFrom(QStringView text);

// A search of releases in the service's query syntax; the empty values are left out.
QString searchQuery(const QString& artist, const QString& album, int trackCount);

// The addresses of the requests below a service's base address.
QUrl searchUrl(const QUrl& musicBrainz, const QString& query, int limit = 10);
QUrl releaseUrl(const QUrl& musicBrainz, const QString& releaseId);
QUrl coverListingUrl(const QUrl& coverArt, const QString& releaseId);

} // namespace MusicBrainz
