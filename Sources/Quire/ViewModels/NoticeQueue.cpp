#include "Quire/ViewModels/NoticeQueue.h"

void NoticeQueue::post(Notice::Kind kind, const QString& text, const QStringList& files) {
    m_notices.append({++m_lastId, kind, text, files});
    emit changed();
}

void NoticeQueue::dismiss(quint64 id) {
    if (m_notices.removeIf([id](const Notice& notice) { return notice.id == id; }) > 0)
        emit changed();
}

QList<Notice> NoticeQueue::takeAll() {
    QList<Notice> taken = std::exchange(m_notices, {});
    if (!taken.isEmpty())
        emit changed();
    return taken;
}
