#include "Quire/ViewModels/SearchTexts.h"

#include "Quire/ViewModels/FileFilter.h"

#include <QtConcurrent/QtConcurrentRun>

SearchTexts::SearchTexts(std::function<const QList<AudioFile>&()> files, QObject* parent)
    : QObject(parent)
    , m_files(std::move(files)) {
    m_pool.setMaxThreadCount(1);
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, &SearchTexts::foldAhead);
}

const SearchTexts::Entry* SearchTexts::current(const Texts& texts, const AudioFile& file) {
    const auto cached = texts.constFind(file.id());
    return cached != texts.constEnd() && cached->first.sharesStorageWith(file) ? &*cached : nullptr;
}

const QString* SearchTexts::folded(const AudioFile& file) const {
    if (const Entry* cached = current(m_texts, file))
        return &cached->second;
    const Entry* aside = m_folding ? current(m_meanwhile, file) : nullptr;
    return aside ? &aside->second : nullptr;
}

const QString& SearchTexts::of(const AudioFile& file) {
    if (const QString* text = folded(file))
        return *text;
    // While a fold shares the texts, changing them would copy them all.
    Texts& texts = m_folding ? m_meanwhile : m_texts;
    return texts.insert(file.id(), {file, FileFilter::searchText(file)})->second;
}

void SearchTexts::listChanged(const QSet<QUuid>& addedOrChanged) {
    if (m_unfolded.isEmpty())
        m_unfolded = addedOrChanged; // shared, not copied
    else
        m_unfolded.unite(addedOrChanged);
    m_quiet.start();
}

void SearchTexts::forget(const QSet<QUuid>& ids) {
    m_unfolded.subtract(ids);
    if (m_folding) {
        m_forgottenMeanwhile.unite(ids);
        for (const QUuid& id : ids)
            m_meanwhile.remove(id);
        return;
    }
    for (const QUuid& id : ids)
        m_texts.remove(id);
}

void SearchTexts::foldAhead() {
    if (m_folding) {
        m_quiet.start(); // after the running fold, whatever changed meanwhile
        return;
    }
    if (m_unfolded.isEmpty())
        return;
    m_folding = true;
    // The texts, the list and the ids are handed over whole (the copies share them); the background finds
    // the records of the ids, folds them and adds them to its own copy of the texts.
    QtConcurrent::run(&m_pool, [texts = m_texts, files = m_files(),
                                unfolded = std::exchange(m_unfolded, {})] {
        Texts folded = texts;
        folded.reserve(texts.size() + unfolded.size());
        for (const AudioFile& file : files) {
            if (unfolded.contains(file.id()))
                folded.insert(file.id(), {file, FileFilter::searchText(file)});
        }
        return folded;
    }).then(this, [this](QFuture<Texts> done) { take(done.takeResult()); });
}

void SearchTexts::take(Texts folded) {
    m_folding = false;
    // Freeing the texts kept until now (and with them, often, the last share of old records) takes tens of
    // milliseconds in a large library: the pool does it.
    (void)QtConcurrent::run(
        &m_pool, [retired = std::exchange(m_texts, std::move(folded))]() mutable { retired = {}; });
    for (const QUuid& id : std::exchange(m_forgottenMeanwhile, {}))
        m_texts.remove(id);
    // Texts folded here meanwhile are of records at least as new as the fold's.
    for (auto it = m_meanwhile.constBegin(); it != m_meanwhile.constEnd(); ++it)
        m_texts.insert(it.key(), it.value());
    m_meanwhile.clear();
    emit foldedAhead();
}
