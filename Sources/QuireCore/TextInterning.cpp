#include "QuireCore/TextInterning.h"

#include "QuireCore/TagSet.h"

#include <QMutex>
#include <QSet>

namespace {

class TextTable {
public:
    QString intern(const QString& text) {
        QMutexLocker lock(&m_mutex);
        return internLocked(text);
    }
    // Many texts under one lock: reads on several threads intern a file's texts at once.
    TagSet internTags(TagSet tags) {
        QMutexLocker lock(&m_mutex);
        for (std::optional<QString>* value :
             {&tags.artist, &tags.album, &tags.albumArtist, &tags.composer, &tags.genre, &tags.grouping,
              &tags.year, &tags.trackNumber, &tags.trackTotal, &tags.discNumber, &tags.discTotal,
              &tags.bpm}) {
            if (*value)
                *value = internLocked(**value);
        }
        QMap<QString, QString> custom;
        for (auto it = tags.custom.constBegin(); it != tags.custom.constEnd(); ++it)
            custom.insert(custom.cend(), internLocked(it.key()), internLocked(it.value())); // in order
        tags.custom = std::move(custom);
        return tags;
    }

private:
    QString internLocked(const QString& text) {
        if (const auto held = m_texts.constFind(text); held != m_texts.constEnd())
            return *held;
        if (m_texts.size() >= m_sweepAt)
            sweep();
        m_texts.insert(text);
        return text;
    }

    // Drops the texts no one else holds any more, and waits until the table has
    // doubled before looking again, so that sweeps cost little per text.
    void sweep() {
        for (auto it = m_texts.begin(); it != m_texts.end();) {
            if (it->isDetached())
                it = m_texts.erase(it);
            else
                ++it;
        }
        m_sweepAt = std::max<qsizetype>(1024, 2 * m_texts.size());
    }

    QMutex m_mutex;
    QSet<QString> m_texts;
    qsizetype m_sweepAt = 1024;
};

TextTable& textTable() {
    // Never destroyed: reads may still run on other threads while the program exits.
    static TextTable* const table = new TextTable;
    return *table;
}

} // namespace

QString internText(const QString& text) {
    return textTable().intern(text);
}

TagSet withSharedTexts(TagSet tags) {
    return textTable().internTags(std::move(tags));
}
