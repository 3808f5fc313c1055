#pragma once

#include "QuireCore/AudioFile.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>
#include <functional>

// The folded text of each file that a filter's plain words are looked for in
// (FileFilter::searchText), kept per record: a filter over a large library
// would otherwise fold every value of every file on each keystroke. A while
// after the list last changed, the files added or changed since they were
// last folded are found and folded in the background, which hands back the
// whole set of texts: this thread only swaps it in. While a fold runs, the
// texts kept are only read (the fold shares them), and texts folded here go
// aside until the fold's set arrives.
class SearchTexts : public QObject {
    Q_OBJECT
public:
    static constexpr int quietMs = 300;

    // `files` gives the document's list as it stands when the quiet time has passed.
    explicit SearchTexts(std::function<const QList<AudioFile>&()> files, QObject* parent = nullptr);

    // `file`'s text, folded now unless this record of it was folded before.
    const QString& of(const AudioFile& file);
    // `file`'s text when this record of it was folded before; reads only, so threads may share it while
    // nothing changes the texts.
    const QString* folded(const AudioFile& file) const;
    // Files were added to the list or changed: fold ahead once it has been quiet for a while.
    void listChanged(const QSet<QUuid>& addedOrChanged);
    // Files left the list.
    void forget(const QSet<QUuid>& ids);
    // Folds the files added or changed since the last fold, in the background now.
    void foldAhead();
    // Texts kept, for tests.
    qsizetype count() const { return m_texts.size() + m_meanwhile.size(); }
    bool isFolding() const { return m_folding; }

signals:
    void foldedAhead();

private:
    using Entry = std::pair<AudioFile, QString>;
    using Texts = QHash<QUuid, Entry>;
    void take(Texts folded);
    static const Entry* current(const Texts& texts, const AudioFile& file);

    std::function<const QList<AudioFile>&()> m_files;
    Texts m_texts;
    QSet<QUuid> m_unfolded; // added or changed since the last fold began
    QTimer m_quiet;
    // Folds of its own, not queued behind other work in the shared pool.
    QThreadPool m_pool;
    bool m_folding = false;
    // While a fold runs: the texts folded here, and the files that left the list.
    Texts m_meanwhile;
    QSet<QUuid> m_forgottenMeanwhile;
};
