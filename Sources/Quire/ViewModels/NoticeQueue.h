#pragma once

#include "Quire/ViewModels/DocumentTypes.h"

#include <QObject>

// What the user should hear of, oldest first, until dismissed: a new notice
// never replaces an older one.
class NoticeQueue : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<Notice> all READ all NOTIFY changed)

public:
    using QObject::QObject;

    const QList<Notice>& all() const { return m_notices; }
    void post(Notice::Kind kind, const QString& text, const QStringList& files = {});
    void dismiss(quint64 id);
    // Every notice, oldest first, dismissed (the command line prints them as they come).
    QList<Notice> takeAll();

signals:
    void changed();

private:
    QList<Notice> m_notices;
    quint64 m_lastId = 0;
};
