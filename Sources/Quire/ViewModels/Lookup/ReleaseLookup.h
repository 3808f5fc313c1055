#pragma once

#include "Quire/ViewModels/Lookup/LookupClient.h"
#include "Quire/ViewModels/Lookup/ReleaseMatching.h"

#include "QuireCore/Artwork.h"
#include "QuireCore/AudioFile.h"

#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

class DocumentViewModel;

// Where the online services are (Preferences::lookupServices reads them).
struct LookupServices {
    QUrl musicBrainz{QStringLiteral("https://musicbrainz.org")};
    QUrl coverArt{QStringLiteral("https://coverartarchive.org")};
    bool operator==(const LookupServices&) const = default;
};

// A release listed for the files, with how well it fits them (0 to 100).
struct LookupCandidate {
    MusicBrainz::ReleaseSummary release;
    int score = 0;
};

// Online lookup of releases for the document's files: candidates from a
// search, a release with its tracks, its front cover, and applying a release
// to the files as one undo step. The requests run through one LookupClient,
// so its pace and its answers kept for the session hold for the editor's
// sheet and the command line alike.
//
// Every request ends in its completion: with a value, or with an error, which
// (unless cancelled) is also posted as a notice. Nothing changes the files
// until apply().
class ReleaseLookup : public QObject {
    Q_OBJECT

public:
    template <typename T> using Completion = std::function<void(const Result<T, LookupError>&)>;

    explicit ReleaseLookup(DocumentViewModel& document);

    const LookupServices& services() const { return m_services; }
    void setServices(const LookupServices& services) { m_services = services; }
    LookupClient& client() { return m_client; }

    // The text a search for `files` starts from: the service's query for
    // their album artist, album and number.
    static QString queryFor(const QList<AudioFile>& files);

    // The releases `text` finds, best fitting `files` first: a release address
    // or identifier gives that one release; other text is a query of the
    // service (empty text: queryFor(files)).
    void findCandidates(const QList<AudioFile>& files, const QString& text,
                        Completion<QList<LookupCandidate>> completion);
    // A release with its media and tracks.
    void fetchRelease(const QString& releaseId, Completion<MusicBrainz::Release> completion);
    // The release's front cover at `size`, as a front-cover picture; none when the archive has none.
    void fetchFrontCover(const QString& releaseId, MusicBrainz::CoverSize size,
                         Completion<std::optional<Artwork>> completion);
    // Stops every running request; their completions report `cancelled`.
    void cancel() { m_client.cancelAll(); }
    // Whether failures are also posted as notices (the command line prints those); a view that shows
    // each failure where the user is looking turns it off while it is open, so that none is told twice.
    void setPostsNotices(bool posts) { m_postsNotices = posts; }

    // Gives each matched file that is still in the document the tags of its
    // track (tagsFromTrack), and with `cover` that picture in place of its
    // front covers, as one undo step. The count of files changed.
    int apply(const MusicBrainz::Release& release, const MusicBrainz::ReleaseMatch& match,
              const std::optional<Artwork>& cover = std::nullopt);

private:
    template <typename T> void fail(const Completion<T>& completion, const LookupError& error);

    DocumentViewModel& m_document;
    LookupServices m_services;
    LookupClient m_client;
    bool m_postsNotices = true;
};
