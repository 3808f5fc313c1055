#pragma once

#include "QuireCore/AudioFile.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <functional>

// The folded text of each file that a filter's plain words are looked for in
// (FileFilter::searchText), kept per record: a filter over a large library
// would otherwise fold every value of every file on each keystroke. A while
// after the list last changed, the files not folded yet are folded in the
// background, so that the first keystroke finds them ready too.
class SearchTexts : public QObject {
    Q_OBJECT
public:
    static constexpr int quietMs = 1000;

    // `files` gives the document's list as it stands when the quiet time has passed.
    explicit SearchTexts(std::function<const QList<AudioFile>&()> files, QObject* parent = nullptr);

    // `file`'s text, folded now unless this record of it was folded before.
    const QString& of(const AudioFile& file);
    // The list changed: fold ahead once it has been quiet for a while.
    void listChanged();
    // Files left the list.
    void forget(const QSet<QUuid>& ids);
    // Folds the files of the list not folded yet, in the background now.
    void foldAhead();
    // Texts kept, for tests.
    qsizetype count() const { return m_texts.size(); }
    bool isFolding() const { return m_folding; }

signals:
    void foldedAhead();

private:
    using Entry = std::pair<AudioFile, QString>;
    void take(QHash<QUuid, Entry> folded, quint64 generation);

    std::function<const QList<AudioFile>&()> m_files;
    QHash<QUuid, Entry> m_texts;
    QTimer m_quiet;
    bool m_folding = false;
    quint64 m_removals = 0; // how often files were forgotten: a fold begun before may hold them
};
