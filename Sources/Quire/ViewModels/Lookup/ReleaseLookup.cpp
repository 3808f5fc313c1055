#include "Quire/ViewModels/Lookup/ReleaseLookup.h"

#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QHash>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

using namespace MusicBrainz;

ReleaseLookup::ReleaseLookup(DocumentViewModel& document)
    : m_document(document) {}

template <typename T> void ReleaseLookup::fail(const Completion<T>& completion, const LookupError& error) {
    if (m_postsNotices && error.kind != LookupError::Kind::cancelled)
        m_document.notices().post(Notice::Kind::lookup, error.text);
    completion(error);
}

QString ReleaseLookup::queryFor(const QList<AudioFile>& files) {
    const SearchTerms terms = searchTermsOf(files);
    return terms.isEmpty() ? QString() : searchQuery(terms.artist, terms.album, terms.trackCount);
}

void ReleaseLookup::findCandidates(const QList<AudioFile>& files, const QString& text,
                                   Completion<QList<LookupCandidate>> completion) {
    ASSERT_THREAD_OF(m_document);
    const SearchTerms terms = searchTermsOf(files);
    if (const std::optional<QString> id = releaseIdFrom(text)) {
        fetchRelease(*id, [completion, terms](const Result<Release, LookupError>& release) {
            if (!release)
                return completion(release.error());
            const ReleaseSummary& summary = release.value().summary;
            completion(QList<LookupCandidate>{{summary, candidateScore(summary, terms)}});
        });
        return;
    }
    const QString query = text.trimmed().isEmpty() ? queryFor(files) : text.trimmed();
    if (query.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this, completion] {
                fail(completion, {LookupError::Kind::notFound,
                                  tr("The files have no artist or album to search for; enter a search or a "
                                     "release address.")});
            },
            Qt::QueuedConnection);
        return;
    }
    const QUrl url = searchUrl(m_services.musicBrainz, query);
    m_client.get(url, [this, url, completion, terms](const Result<QByteArray, LookupError>& answer) {
        if (!answer)
            return fail(completion, answer.error());
        const Result<QList<ReleaseSummary>, QString> releases = parseSearch(answer.value());
        if (!releases) {
            m_client.forget(url);
            return fail(completion, {LookupError::Kind::malformed, releases.error()});
        }
        QList<LookupCandidate> candidates;
        for (const ReleaseSummary& release : releases.value())
            candidates.append({release, candidateScore(release, terms)});
        std::stable_sort(
            candidates.begin(), candidates.end(),
            [](const LookupCandidate& a, const LookupCandidate& b) { return a.score > b.score; });
        completion(candidates);
    });
}

void ReleaseLookup::fetchRelease(const QString& releaseId, Completion<Release> completion) {
    ASSERT_THREAD_OF(m_document);
    const QUrl url = releaseUrl(m_services.musicBrainz, releaseId);
    m_client.get(url, [this, url, completion](const Result<QByteArray, LookupError>& answer) {
        if (!answer)
            return fail(completion, answer.error());
        const Result<Release, QString> release = parseRelease(answer.value());
        if (!release) {
            m_client.forget(url);
            return fail(completion, {LookupError::Kind::malformed, release.error()});
        }
        completion(release.value());
    });
}

void ReleaseLookup::fetchFrontCover(const QString& releaseId, CoverSize size,
                                    Completion<std::optional<Artwork>> completion) {
    ASSERT_THREAD_OF(m_document);
    using Picture = std::optional<Artwork>;
    const QUrl listingUrl = coverListingUrl(m_services.coverArt, releaseId);
    m_client.get(listingUrl, [this, listingUrl, size,
                              completion](const Result<QByteArray, LookupError>& listing) {
        // A release without pictures is no failure: the archive answers 404 for it.
        if (!listing && listing.error().kind == LookupError::Kind::notFound)
            return completion(Picture());
        if (!listing)
            return fail(completion, listing.error());
        const Result<std::optional<QUrl>, QString> front = parseFrontCover(listing.value(), size);
        if (!front) {
            m_client.forget(listingUrl);
            return fail(completion, {LookupError::Kind::malformed, front.error()});
        }
        if (!front.value())
            return completion(Picture());
        const QUrl imageUrl = *front.value();
        m_client.get(imageUrl, [this, imageUrl, completion](const Result<QByteArray, LookupError>& image) {
            if (!image)
                return fail(completion, image.error());
            // Bytes from the internet are decoded and encoded anew by the isolated decoder, off this
            // thread.
            const quint64 generation = m_client.generation();
            QPointer<ReleaseLookup> self(this);
            (void)QtConcurrent::run([self, imageUrl, completion, generation, bytes = image.value()] {
                Picture picture = ArtworkProcessing::coverArtworkFromBytes(bytes);
                if (!self)
                    return;
                QMetaObject::invokeMethod(
                    self,
                    [self, imageUrl, completion, generation, picture = std::move(picture)] {
                        if (self->m_client.generation() != generation)
                            return completion(
                                LookupError{LookupError::Kind::cancelled, tr("The lookup was cancelled.")});
                        if (!picture) {
                            self->m_client.forget(imageUrl);
                            return self->fail(completion,
                                              {LookupError::Kind::malformed,
                                               tr("The cover from the online service is not a picture "
                                                  "that can be read.")});
                        }
                        completion(picture);
                    },
                    Qt::QueuedConnection);
            });
        });
    });
}

int ReleaseLookup::apply(const Release& release, const ReleaseMatch& match,
                         const std::optional<Artwork>& cover) {
    ASSERT_THREAD_OF(m_document);
    QHash<QUuid, TrackPlace> places;
    for (const TrackMatch& matched : match.matched) {
        const bool exists = matched.place.medium >= 0 && matched.place.medium < release.media.size() &&
                            matched.place.track >= 0 &&
                            matched.place.track < release.media[matched.place.medium].tracks.size();
        if (exists)
            places.insert(matched.file, matched.place);
    }
    const QList<AudioFile> before = m_document.files();
    QList<AudioFile> after = before;
    int changed = 0;
    for (AudioFile& file : after) {
        const auto place = places.constFind(file.id());
        if (place == places.constEnd())
            continue;
        const TagSet tags = tagsFromTrack(file.tags(), release, *place);
        QList<Artwork> pictures = file.artwork();
        if (cover) {
            // The new cover takes the place of the front covers; the other pictures stay.
            pictures.removeIf([](const Artwork& picture) { return picture.type == ArtworkType::frontCover; });
            pictures.prepend(*cover);
        }
        if (tags == file.tags() && Artwork::areSamePictures(pictures, file.artwork()))
            continue;
        file.setTags(tags);
        file.setArtwork(pictures);
        ++changed;
    }
    if (changed == 0)
        return 0;
    return m_document.commit(tr("Look Up “%1”").arg(release.summary.title), after) ? changed : 0;
}
