#include "QuireCore/PictureInterning.h"

#include <QHash>
#include <QMutex>

namespace {

class PictureTable {
public:
    QByteArray intern(const QByteArray& data) {
        const size_t hash = sampleHash(data);
        QMutexLocker lock(&m_mutex);
        for (auto it = m_pictures.constFind(hash); it != m_pictures.constEnd() && it.key() == hash; ++it) {
            // Pictures a helper sent once arrive as copies of one buffer.
            const QByteArray& held = it.value();
            if ((held.constData() == data.constData() && held.size() == data.size()) || held == data)
                return held;
        }
        if (m_pictures.size() >= m_sweepAt)
            sweep();
        m_pictures.insert(hash, data);
        return data;
    }

private:
    // Hashing whole covers of hundreds of kilobytes would cost more than
    // reading them; the size and three samples tell distinct pictures apart
    // well enough, and equal hashes are confirmed by comparing the bytes.
    static size_t sampleHash(const QByteArray& data) {
        constexpr qsizetype sample = 1024;
        if (data.size() <= 3 * sample)
            return qHash(data);
        const QByteArrayView bytes(data);
        size_t hash = qHash(data.size());
        for (const qsizetype at : {qsizetype{0}, (data.size() - sample) / 2, data.size() - sample})
            hash = qHashMulti(hash, bytes.sliced(at, sample));
        return hash;
    }

    // Drops the pictures no one else holds any more, and waits until the table
    // has doubled before looking again, so that sweeps cost little per picture.
    void sweep() {
        for (auto it = m_pictures.begin(); it != m_pictures.end();) {
            if (it.value().isDetached())
                it = m_pictures.erase(it);
            else
                ++it;
        }
        m_sweepAt = std::max<qsizetype>(64, 2 * m_pictures.size());
    }

    QMutex m_mutex;
    QMultiHash<size_t, QByteArray> m_pictures;
    qsizetype m_sweepAt = 64;
};

} // namespace

QByteArray internPicture(const QByteArray& data) {
    // Never destroyed: reads may still run on other threads while the program exits.
    static PictureTable* const table = new PictureTable;
    return table->intern(data);
}
