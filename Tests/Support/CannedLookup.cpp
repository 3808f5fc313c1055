#include "Support/CannedLookup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace CannedLookup {

namespace {

QJsonObject artist(const QString& id, const QString& name, const QString& sortName) {
    return {{"id", id}, {"name", name}, {"sort-name", sortName}};
}

QJsonArray bandCredit() {
    return {QJsonObject{
        {"name", "The Band"}, {"joinphrase", ""}, {"artist", artist(bandId, "The Band", "Band, The")}}};
}

QString numberedId(char kind, int disc, int position) {
    return QStringLiteral("4a7f2c10-0000-4000-8000-%1%2%3")
        .arg(QLatin1Char(kind))
        .arg(disc, 5, 10, QLatin1Char('0'))
        .arg(position, 6, 10, QLatin1Char('0'));
}

} // namespace

QString trackId(int disc, int position) {
    return numberedId('d', disc, position);
}

QString recordingId(int disc, int position) {
    return numberedId('e', disc, position);
}

QByteArray release(const QString& title, const QList<QStringList>& discs, const QString& id,
                   const QString& date) {
    QJsonArray media;
    for (int d = 0; d < discs.size(); ++d) {
        QJsonArray tracks;
        for (int t = 0; t < discs[d].size(); ++t) {
            const int position = t + 1;
            QJsonObject track{{"id", trackId(d + 1, position)},
                              {"position", position},
                              {"number", QString::number(position)},
                              {"title", discs[d][t]},
                              {"length", (60 + position) * 1000},
                              {"recording", QJsonObject{{"id", recordingId(d + 1, position)},
                                                        {"title", discs[d][t]},
                                                        {"length", (60 + position) * 1000}}}};
            if (d == 0 && position == 2)
                track.insert("artist-credit",
                             QJsonArray{QJsonObject{{"name", "The Band"},
                                                    {"joinphrase", " feat. "},
                                                    {"artist", artist(bandId, "The Band", "Band, The")}},
                                        QJsonObject{{"name", "Guest"},
                                                    {"joinphrase", ""},
                                                    {"artist", artist(guestId, "Guest", "Guest")}}});
            tracks.append(track);
        }
        media.append(QJsonObject{{"position", d + 1},
                                 {"format", "CD"},
                                 {"track-count", tracks.size()},
                                 {"track-offset", 0},
                                 {"tracks", tracks}});
    }
    const QJsonObject root{
        {"id", id},
        {"title", title},
        {"status", "Official"},
        {"date", date},
        {"country", "GB"},
        {"barcode", "5012345678900"},
        {"artist-credit", bandCredit()},
        {"release-group", QJsonObject{{"id", releaseGroupId}, {"primary-type", "Album"}}},
        {"label-info",
         QJsonArray{QJsonObject{{"catalog-number", "CAT 1"},
                                {"label", QJsonObject{{"id", bandId}, {"name", "Small Label"}}}}}},
        {"media", media}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray search(const QList<Listed>& releases) {
    QJsonArray listed;
    for (const Listed& release : releases)
        listed.append(QJsonObject{
            {"id", release.id},
            {"score", release.score},
            {"title", release.title},
            {"status", "Official"},
            {"date", "2003"},
            {"country", "XE"},
            {"artist-credit",
             QJsonArray{QJsonObject{{"name", release.artist},
                                    {"artist", artist(bandId, release.artist, release.artist)}}}},
            {"release-group", QJsonObject{{"id", releaseGroupId}}},
            {"label-info", QJsonArray{QJsonObject{{"label", QJsonObject{{"name", "Small Label"}}}}}},
            {"track-count", release.trackCount},
            {"media", QJsonArray{QJsonObject{
                          {"format", "CD"}, {"disc-count", 1}, {"track-count", release.trackCount}}}}});
    return QJsonDocument(QJsonObject{{"created", "2026-01-01T00:00:00.000Z"},
                                     {"count", listed.size()},
                                     {"offset", 0},
                                     {"releases", listed}})
        .toJson(QJsonDocument::Compact);
}

QByteArray coverListing(const QUrl& images) {
    const auto at = [&images](const char* name) { return images.toString() + QLatin1String(name); };
    const QJsonObject back{{"types", QJsonArray{"Back"}},
                           {"front", false},
                           {"back", true},
                           {"image", at("/back.jpg")},
                           {"thumbnails", QJsonObject{{"250", at("/back-250.jpg")}}}};
    const QJsonObject front{{"types", QJsonArray{"Front"}},
                            {"front", true},
                            {"back", false},
                            {"approved", true},
                            {"image", at("/front.jpg")},
                            {"thumbnails", QJsonObject{{"250", at("/front-250.jpg")},
                                                       {"500", at("/front-500.jpg")},
                                                       {"1200", at("/front-1200.jpg")},
                                                       {"small", at("/front-250.jpg")},
                                                       {"large", at("/front-500.jpg")}}}};
    return QJsonDocument(QJsonObject{{"images", QJsonArray{back, front}},
                                     {"release", "https://musicbrainz.org/release/" + releaseId}})
        .toJson(QJsonDocument::Compact);
}

} // namespace CannedLookup
