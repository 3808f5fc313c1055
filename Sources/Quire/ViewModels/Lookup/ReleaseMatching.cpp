#include "Quire/ViewModels/Lookup/ReleaseMatching.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace MusicBrainz {

namespace {

// Below this a pair is more likely wrong than right: a track number alone
// (0.5) or a close title alone (up to 0.3) is enough, a vague likeness is not.
constexpr double minimumPairScore = 0.28;

QString normalized(const QString& text) {
    QString result;
    bool space = false;
    for (const QChar c : text.toCaseFolded()) {
        if (c.isLetterOrNumber()) {
            if (space && !result.isEmpty())
                result += u' ';
            result += c;
            space = false;
        } else {
            space = true;
        }
    }
    return result;
}

int editDistance(const QString& a, const QString& b) {
    QList<int> previous(b.size() + 1), current(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[j] = std::min(
                {previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

double durationCloseness(double fileSeconds, std::optional<qint64> trackMs) {
    if (fileSeconds <= 0 || !trackMs || *trackMs <= 0)
        return 0;
    const double difference = std::abs(fileSeconds - double(*trackMs) / 1000.0);
    return difference <= 2 ? 1.0 : std::max(0.0, 1.0 - (difference - 2) / 28);
}

// Untagged files often carry their number and title in their names ("03 - Song.mp3"): what the tags do
// not say is taken from there.
struct FileClues {
    std::optional<qint64> track;
    std::optional<qint64> disc;
    QString title;
};

FileClues cluesOf(const AudioFile& file) {
    static const QRegularExpression numbered(QStringLiteral("^\\s*(\\d{1,3})(?!\\d)[\\s._-]*(.*)$"));
    const TagSet& tags = file.tags();
    FileClues clues{tags.number(TagField::trackNumber), tags.number(TagField::discNumber),
                    tags.title.value_or(QString())};
    const QRegularExpressionMatch name = numbered.match(file.filenameWithoutExtension());
    if (!clues.track && name.hasMatch())
        clues.track = name.captured(1).toLongLong();
    if (clues.title.trimmed().isEmpty())
        clues.title = name.hasMatch() ? name.captured(2) : file.filenameWithoutExtension();
    return clues;
}

double pairScore(const AudioFile& file, const FileClues& clues, const Release& release, const Medium& medium,
                 const Track& track) {
    double numbers = 0;
    if (clues.track && *clues.track == track.position) {
        if (!clues.disc)
            numbers = release.media.size() == 1 ? 1 : 0.5; // the right track of some disc
        else if (*clues.disc == medium.position)
            numbers = 1;
    }
    return 0.5 * numbers + 0.3 * titleSimilarity(clues.title, track.title) +
           0.2 * durationCloseness(file.properties().duration, track.lengthMs);
}

QString commonValue(const std::optional<QString>& value) {
    return value.value_or(QString()).trimmed();
}

} // namespace

double titleSimilarity(const QString& a, const QString& b) {
    const QString x = normalized(a), y = normalized(b);
    if (x.isEmpty() || y.isEmpty())
        return 0;
    const qsizetype longest = std::max(x.size(), y.size());
    return 1.0 - double(editDistance(x, y)) / double(longest);
}

ReleaseMatch matchFiles(const QList<AudioFile>& files, const Release& release) {
    struct Pair {
        double score;
        qsizetype file;
        TrackPlace place;
    };
    QList<Pair> pairs;
    for (qsizetype f = 0; f < files.size(); ++f) {
        const FileClues clues = cluesOf(files[f]);
        for (int m = 0; m < release.media.size(); ++m)
            for (int t = 0; t < release.media[m].tracks.size(); ++t) {
                const double score =
                    pairScore(files[f], clues, release, release.media[m], release.media[m].tracks[t]);
                if (score >= minimumPairScore)
                    pairs.append({score, f, {m, t}});
            }
    }
    // Best first; equal scores in the order of the files and tracks, so the outcome never depends on chance.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const Pair& a, const Pair& b) { return a.score > b.score; });
    QHash<qsizetype, Pair> byFile;
    QList<TrackPlace> taken;
    for (const Pair& pair : std::as_const(pairs)) {
        if (byFile.contains(pair.file) || taken.contains(pair.place))
            continue;
        byFile.insert(pair.file, pair);
        taken.append(pair.place);
    }
    ReleaseMatch match;
    for (qsizetype f = 0; f < files.size(); ++f) {
        if (const auto found = byFile.constFind(f); found != byFile.constEnd())
            match.matched.append({files[f].id(), found->place, found->score});
        else
            match.unmatchedFiles.append(files[f].id());
    }
    for (int m = 0; m < release.media.size(); ++m)
        for (int t = 0; t < release.media[m].tracks.size(); ++t)
            if (!taken.contains(TrackPlace{m, t}))
                match.unmatchedTracks.append({m, t});
    return match;
}

SearchTerms searchTermsOf(const QList<AudioFile>& files) {
    const TagSet common = AudioFile::batchTags(files);
    SearchTerms terms;
    terms.artist = commonValue(common.albumArtist);
    if (terms.artist.isEmpty())
        terms.artist = commonValue(common.artist);
    terms.album = commonValue(common.album);
    terms.trackCount = int(files.size());
    return terms;
}

int candidateScore(const ReleaseSummary& candidate, const SearchTerms& terms) {
    const double service = candidate.serviceScore / 100.0;
    // What the files do not say counts as the service's own judgement.
    const double album = terms.album.isEmpty() ? service : titleSimilarity(terms.album, candidate.title);
    const double artist =
        terms.artist.isEmpty() ? service : titleSimilarity(terms.artist, candidate.artist.name);
    double tracks = service;
    if (terms.trackCount > 0 && candidate.trackCount > 0)
        tracks = double(std::min(terms.trackCount, candidate.trackCount)) /
                 double(std::max(terms.trackCount, candidate.trackCount));
    return int(std::lround(100 * (0.35 * album + 0.25 * artist + 0.25 * tracks + 0.15 * service)));
}

TagSet tagsFromTrack(TagSet tags, const Release& release, TrackPlace place) {
    const Medium& medium = release.media.at(place.medium);
    const Track& track = medium.tracks.at(place.track);
    const ReleaseSummary& head = release.summary;
    const auto set = [&tags](const FieldKey& key, const QString& value) {
        // An empty value removes what an earlier lookup left: it would describe another release.
        tags.setValue(value.isEmpty() ? std::nullopt : std::optional(value), key);
    };
    const auto custom = [&set](const char* name, const QString& value) {
        set(FieldKey::custom(QString::fromLatin1(name)), value);
    };
    const QString separator = TagSet::valueSeparator.toString();
    set(TagField::title, track.title);
    set(TagField::artist, track.artist.name);
    set(TagField::album, head.title);
    set(TagField::albumArtist, head.artist.name);
    if (!head.date.isEmpty())
        set(TagField::year, head.date);
    set(TagField::trackNumber, QString::number(track.position));
    set(TagField::trackTotal, QString::number(std::max<qsizetype>(medium.trackCount, medium.tracks.size())));
    set(TagField::discNumber, QString::number(medium.position));
    set(TagField::discTotal, QString::number(release.media.size()));
    custom("MUSICBRAINZ_ALBUMID", head.id);
    custom("MUSICBRAINZ_RELEASEGROUPID", head.releaseGroupId);
    custom("MUSICBRAINZ_TRACKID", track.recordingId);
    custom("MUSICBRAINZ_RELEASETRACKID", track.id);
    custom("MUSICBRAINZ_ARTISTID", track.artist.artistIds.join(separator));
    custom("MUSICBRAINZ_ALBUMARTISTID", head.artist.artistIds.join(separator));
    custom("ARTISTSORT", track.artist.sortName);
    custom("ALBUMARTISTSORT", head.artist.sortName);
    return tags;
}

QString trackLabel(const Release& release, TrackPlace place) {
    const Medium& medium = release.media.at(place.medium);
    const Track& track = medium.tracks.at(place.track);
    return QStringLiteral("%1-%2 %3")
        .arg(medium.position)
        .arg(track.position, 2, 10, QLatin1Char('0'))
        .arg(track.title);
}

ReleasePreview previewRelease(const QList<AudioFile>& files, const Release& release,
                              const ReleaseMatch& match) {
    QHash<QUuid, const AudioFile*> byId;
    for (const AudioFile& file : files)
        byId.insert(file.id(), &file);
    ReleasePreview preview;
    for (const TrackMatch& matched : match.matched) {
        const AudioFile* file = byId.value(matched.file);
        if (!file)
            continue;
        const TagSet after = tagsFromTrack(file->tags(), release, matched.place);
        ReleasePreview::File entry{
            file->id(), file->filename(), matched.place, trackLabel(release, matched.place), {}};
        QList<FieldKey> differing;
        for (TagField field : allTagFields)
            if (file->tags().value(field) != after.value(field))
                differing.append(field);
        for (const QString& name : TagSet::customNames({file->tags(), after})) {
            const FieldKey key = FieldKey::custom(name);
            if (file->tags().value(key) != after.value(key))
                differing.append(key);
        }
        for (const FieldKey& key : differing)
            entry.changes.append({key, file->tags().value(key), after.value(key)});
        preview.files.append(std::move(entry));
    }
    for (const QUuid& id : match.unmatchedFiles)
        if (const AudioFile* file = byId.value(id))
            preview.unmatchedFiles.append(file->filename());
    for (const TrackPlace& place : match.unmatchedTracks)
        preview.unmatchedTracks.append(trackLabel(release, place));
    return preview;
}

} // namespace MusicBrainz
