#pragma once

#include "Quire/ViewModels/Lookup/ReleaseData.h"

#include "QuireCore/AudioFile.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// How the files of a lookup meet a release: which file is which track, how
// well a release fits the files, and what each file's tags become. Pure
// functions of their arguments, so the command line, the sheet and the tests
// see the same answers.
namespace MusicBrainz {

// A track by its place in Release::media.
struct TrackPlace {
    int medium = 0;
    int track = 0;
    bool operator==(const TrackPlace&) const = default;
};

struct TrackMatch {
    QUuid file;
    TrackPlace place;
    double score = 0; // 0 to 1
    bool operator==(const TrackMatch&) const = default;
};

struct ReleaseMatch {
    QList<TrackMatch> matched; // in the order of the files
    QList<QUuid> unmatchedFiles;
    QList<TrackPlace> unmatchedTracks; // in release order
};

// Pairs files with tracks, each at most once: the same disc and track number
// weigh most, then the likeness of the titles, then that of the durations.
// The best pairs are taken first; a file that fits no track well enough is
// left unmatched rather than given a wrong one. A file without a track number
// or title in its tags is taken by its name ("03 - Song.mp3").
ReleaseMatch matchFiles(const QList<AudioFile>& files, const Release& release);

// How alike two titles are, 0 to 1, ignoring case, punctuation and spacing;
// 0 when either is empty.
double titleSimilarity(const QString& a, const QString& b);

// What a search asks for the files: their common album artist (else their
// common artist), their common album and their number.
struct SearchTerms {
    QString artist;
    QString album;
    int trackCount = 0;
    bool isEmpty() const { return artist.isEmpty() && album.isEmpty(); }
};
SearchTerms searchTermsOf(const QList<AudioFile>& files);

// How well a listed release fits the files, 0 to 100: its title against
// their album, its artist against theirs, its track count against their
// number, and the service's own score.
int candidateScore(const ReleaseSummary& candidate, const SearchTerms& terms);

// The tags of a file once it is the track at `place`: the release's and the
// track's values, numbers and totals, and the MusicBrainz identifiers and sort
// names as custom items (TagLib's property names). Other fields stay as they were.
TagSet tagsFromTrack(TagSet tags, const Release& release, TrackPlace place);

struct FieldChange {
    FieldKey field;
    std::optional<QString> before;
    std::optional<QString> after;
    bool operator==(const FieldChange&) const = default;
};

// What applying a release would do, file by file.
struct ReleasePreview {
    struct File {
        QUuid id;
        QString filename;
        TrackPlace place;
        QString trackLabel; // "1-03 Title"
        QList<FieldChange> changes;
    };
    QList<File> files;           // the matched files, in the order given
    QStringList unmatchedFiles;  // their names
    QStringList unmatchedTracks; // "2-05 Title"
};
ReleasePreview previewRelease(const QList<AudioFile>& files, const Release& release,
                              const ReleaseMatch& match);
QString trackLabel(const Release& release, TrackPlace place);

} // namespace MusicBrainz
