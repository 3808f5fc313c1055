#include "Quire/ViewModels/SearchTexts.h"

#include "Quire/ViewModels/FileFilter.h"

#include <QtConcurrent/QtConcurrentRun>

SearchTexts::SearchTexts(std::function<const QList<AudioFile>&()> files, QObject* parent)
    : QObject(parent)
    , m_files(std::move(files)) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, &SearchTexts::foldAhead);
}

const QString& SearchTexts::of(const AudioFile& file) {
    auto cached = m_texts.find(file.id());
    if (cached == m_texts.end())
        cached = m_texts.insert(file.id(), {file, FileFilter::searchText(file)});
    else if (!cached->first.sharesStorageWith(file))
        *cached = {file, FileFilter::searchText(file)};
    return cached->second;
}

void SearchTexts::listChanged() {
    m_quiet.start();
}

void SearchTexts::forget(const QSet<QUuid>& ids) {
    for (const QUuid& id : ids)
        m_texts.remove(id);
    ++m_removals;
}

void SearchTexts::foldAhead() {
    if (m_folding) {
        m_quiet.start(); // after the running fold, whatever changed meanwhile
        return;
    }
    QList<AudioFile> pending;
    for (const AudioFile& file : m_files()) {
        const auto cached = m_texts.constFind(file.id());
        if (cached == m_texts.constEnd() || !cached->first.sharesStorageWith(file))
            pending.append(file);
    }
    if (pending.isEmpty())
        return;
    m_folding = true;
    const quint64 generation = m_removals;
    QtConcurrent::run([pending] {
        QHash<QUuid, Entry> folded;
        folded.reserve(pending.size());
        for (const AudioFile& file : pending)
            folded.insert(file.id(), {file, FileFilter::searchText(file)});
        return folded;
    }).then(this, [this, generation](QHash<QUuid, Entry> folded) { take(std::move(folded), generation); });
}

void SearchTexts::take(QHash<QUuid, Entry> folded, quint64 generation) {
    m_folding = false;
    if (m_texts.isEmpty() && generation == m_removals) {
        // The first fold of a large library, with no file gone meanwhile: no insert a file. Records
        // changed meanwhile are folded again when looked up.
        m_texts = std::move(folded);
    } else {
        // Only the texts of records still in the list: files may have left it, and a text folded on
        // this thread meanwhile may be of a newer record.
        for (const AudioFile& file : m_files()) {
            const auto result = folded.constFind(file.id());
            if (result != folded.constEnd() && result->first.sharesStorageWith(file))
                m_texts.insert(file.id(), *result);
        }
    }
    emit foldedAhead();
}
