#include "Quire/ViewModels/Lookup/ReleaseData.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace MusicBrainz {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("MusicBrainz", text);
}

QString malformed() {
    return tr("The online service sent an answer that could not be read.");
}

std::optional<QJsonObject> objectOf(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

ArtistCredit creditOf(const QJsonValue& value) {
    ArtistCredit credit;
    for (const QJsonValue& part : value.toArray()) {
        const QJsonObject name = part.toObject();
        const QJsonObject artist = name.value(u"artist").toObject();
        const QString joinPhrase = name.value(u"joinphrase").toString();
        const QString credited = name.value(u"name").toString(artist.value(u"name").toString());
        credit.name += credited + joinPhrase;
        credit.sortName += artist.value(u"sort-name").toString(credited) + joinPhrase;
        if (const QString id = artist.value(u"id").toString(); !id.isEmpty())
            credit.artistIds.append(id);
    }
    return credit;
}

QString formatOf(const QJsonArray& media) {
    QStringList formats;
    QList<int> counts;
    for (const QJsonValue& medium : media) {
        const QString format = medium.toObject().value(u"format").toString();
        if (format.isEmpty())
            continue;
        if (!formats.isEmpty() && formats.last() == format) {
            ++counts.last();
        } else {
            formats.append(format);
            counts.append(1);
        }
    }
    QStringList parts;
    for (qsizetype i = 0; i < formats.size(); ++i)
        parts.append(counts[i] > 1 ? QStringLiteral("%1×%2").arg(counts[i]).arg(formats[i]) : formats[i]);
    return parts.join(QStringLiteral(" + "));
}

QString labelOf(const QJsonArray& labelInfo) {
    QStringList names;
    for (const QJsonValue& info : labelInfo) {
        const QString name = info.toObject().value(u"label").toObject().value(u"name").toString();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names.join(QStringLiteral(", "));
}

// The parts a search listing and a looked-up release share; none without an id.
std::optional<ReleaseSummary> summaryOf(const QJsonObject& release) {
    ReleaseSummary summary;
    summary.id = release.value(u"id").toString();
    if (!releaseIdFrom(summary.id))
        return std::nullopt;
    summary.title = release.value(u"title").toString();
    summary.artist = creditOf(release.value(u"artist-credit"));
    summary.date = release.value(u"date").toString();
    summary.country = release.value(u"country").toString();
    summary.barcode = release.value(u"barcode").toString();
    summary.releaseGroupId = release.value(u"release-group").toObject().value(u"id").toString();
    summary.label = labelOf(release.value(u"label-info").toArray());
    const QJsonArray media = release.value(u"media").toArray();
    summary.format = formatOf(media);
    summary.discCount = int(media.size());
    int tracks = 0;
    for (const QJsonValue& medium : media)
        tracks += medium.toObject().value(u"track-count").toInt();
    summary.trackCount = release.value(u"track-count").toInt(tracks);
    summary.serviceScore = std::clamp(release.value(u"score").toInt(100), 0, 100);
    return summary;
}

} // namespace

QList<const Track*> Release::allTracks() const {
    QList<const Track*> tracks;
    for (const Medium& medium : media)
        for (const Track& track : medium.tracks)
            tracks.append(&track);
    return tracks;
}

std::optional<CoverSize> coverSizeFromText(QStringView text) {
    for (CoverSize size : {CoverSize::small, CoverSize::medium, CoverSize::large, CoverSize::full})
        if (text == coverSizeText(size))
            return size;
    return std::nullopt;
}

QString coverSizeText(CoverSize size) {
    return size == CoverSize::full ? QStringLiteral("full") : QString::number(int(size));
}

Result<QList<ReleaseSummary>, QString> parseSearch(const QByteArray& json) {
    const std::optional<QJsonObject> root = objectOf(json);
    if (!root || !root->value(u"releases").isArray())
        return malformed();
    QList<ReleaseSummary> releases;
    for (const QJsonValue& value : root->value(u"releases").toArray()) {
        std::optional<ReleaseSummary> summary = summaryOf(value.toObject());
        if (!summary)
            return malformed();
        releases.append(std::move(*summary));
    }
    return releases;
}

Result<Release, QString> parseRelease(const QByteArray& json) {
    const std::optional<QJsonObject> root = objectOf(json);
    if (!root || !root->value(u"media").isArray())
        return malformed();
    std::optional<ReleaseSummary> summary = summaryOf(*root);
    if (!summary)
        return malformed();
    Release release{std::move(*summary), {}};
    for (const QJsonValue& mediumValue : root->value(u"media").toArray()) {
        const QJsonObject object = mediumValue.toObject();
        if (!object.value(u"tracks").isArray())
            return malformed();
        Medium medium;
        medium.position = object.value(u"position").toInt(int(release.media.size()) + 1);
        medium.format = object.value(u"format").toString();
        const QJsonArray tracks = object.value(u"tracks").toArray();
        medium.trackCount = object.value(u"track-count").toInt(int(tracks.size()));
        for (const QJsonValue& trackValue : tracks) {
            const QJsonObject trackObject = trackValue.toObject();
            const QJsonObject recording = trackObject.value(u"recording").toObject();
            Track track;
            track.id = trackObject.value(u"id").toString();
            track.recordingId = recording.value(u"id").toString();
            track.position = trackObject.value(u"position").toInt();
            if (track.position <= 0)
                return malformed();
            track.title = trackObject.value(u"title").toString(recording.value(u"title").toString());
            const QJsonValue length = trackObject.value(u"length").isDouble() ? trackObject.value(u"length")
                                                                              : recording.value(u"length");
            if (length.isDouble())
                track.lengthMs = qint64(length.toDouble());
            track.artist =
                creditOf(trackObject.contains(u"artist-credit") ? trackObject.value(u"artist-credit")
                                                                : recording.value(u"artist-credit"));
            if (track.artist.name.isEmpty())
                track.artist = release.summary.artist;
            medium.tracks.append(std::move(track));
        }
        release.media.append(std::move(medium));
    }
    release.summary.serviceScore = 100;
    return release;
}

Result<std::optional<QUrl>, QString> parseFrontCover(const QByteArray& json, CoverSize size) {
    const std::optional<QJsonObject> root = objectOf(json);
    if (!root || !root->value(u"images").isArray())
        return malformed();
    for (const QJsonValue& value : root->value(u"images").toArray()) {
        const QJsonObject image = value.toObject();
        if (!image.value(u"front").toBool())
            continue;
        QString address = image.value(u"image").toString();
        if (size != CoverSize::full) {
            const QString thumbnail =
                image.value(u"thumbnails").toObject().value(QString::number(int(size))).toString();
            if (!thumbnail.isEmpty())
                address = thumbnail;
        }
        const QUrl url(address);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https"))
            return malformed();
        return std::optional<QUrl>(url);
    }
    return std::optional<QUrl>();
}

std::optional<QString> releaseIdFrom(QStringView text) {
    static const QRegularExpression id(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression address(
        QStringLiteral("/release/([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})(?:[/?#]|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = text.trimmed().toString();
    if (id.match(trimmed).hasMatch())
        return trimmed.toLower();
    if (const QRegularExpressionMatch match = address.match(trimmed); match.hasMatch())
        return match.captured(1).toLower();
    return std::nullopt;
}

QString searchQuery(const QString& artist, const QString& album, int trackCount) {
    // A phrase in the query syntax: quotes and backslashes inside are escaped.
    const auto phrase = [](QString text) {
        text.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        return u'"' + text + u'"';
    };
    QStringList terms;
    if (!album.trimmed().isEmpty())
        terms.append(QStringLiteral("release:") + phrase(album.trimmed()));
    if (!artist.trimmed().isEmpty())
        terms.append(QStringLiteral("artist:") + phrase(artist.trimmed()));
    if (trackCount > 0)
        terms.append(QStringLiteral("tracks:%1").arg(trackCount));
    return terms.join(QStringLiteral(" AND "));
}

namespace {

QUrl below(const QUrl& base, const QString& path) {
    QUrl url = base;
    QString basePath = url.path();
    while (basePath.endsWith(u'/'))
        basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

} // namespace

QUrl searchUrl(const QUrl& musicBrainz, const QString& query, int limit) {
    QUrl url = below(musicBrainz, QStringLiteral("/ws/2/release"));
    url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(query)) +
                     QStringLiteral("&limit=%1&fmt=json").arg(limit),
                 QUrl::StrictMode);
    return url;
}

QUrl releaseUrl(const QUrl& musicBrainz, const QString& releaseId) {
    QUrl url = below(musicBrainz, QStringLiteral("/ws/2/release/") + releaseId);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits+labels+release-groups&fmt=json"));
    return url;
}

QUrl coverListingUrl(const QUrl& coverArt, const QString& releaseId) {
    return below(coverArt, QStringLiteral("/release/") + releaseId);
}

} // namespace MusicBrainz
