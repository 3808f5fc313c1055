#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Answers of the MusicBrainz web service and the Cover Art Archive, made up
// after their documented JSON forms, for the local server of the lookup tests.
namespace CannedLookup {

inline const QString releaseId = QStringLiteral("4a7f2c10-0000-4000-8000-00000000a001");
inline const QString otherReleaseId = QStringLiteral("4a7f2c10-0000-4000-8000-00000000a002");
inline const QString releaseGroupId = QStringLiteral("4a7f2c10-0000-4000-8000-00000000b001");
inline const QString bandId = QStringLiteral("4a7f2c10-0000-4000-8000-00000000c001");
inline const QString guestId = QStringLiteral("4a7f2c10-0000-4000-8000-00000000c002");

// "The Band" (sort name "Band, The"); each disc a list of track titles. Track 2 of disc 1 is credited
// to "The Band feat. Guest". Track ids are trackId(disc, n), recording ids recordingId(disc, n);
// each track lasts 60 s + n s.
QByteArray release(const QString& title, const QList<QStringList>& discs, const QString& id = releaseId,
                   const QString& date = QStringLiteral("2003-05-12"));
QString trackId(int disc, int position);
QString recordingId(int disc, int position);

struct Listed {
    QString id;
    QString title;
    QString artist;
    int trackCount;
    int score;
};
QByteArray search(const QList<Listed>& releases);

// A listing with a back image and a front image whose image and thumbnails lie below `images`
// (/front.jpg, /front-250.jpg, /front-500.jpg, /front-1200.jpg).
QByteArray coverListing(const QUrl& images);

} // namespace CannedLookup
