#include "Quire/AppInfo.h"

#include <QCoreApplication>

#ifndef CADENZA_FEEDBACK_ADDRESS
#define CADENZA_FEEDBACK_ADDRESS "feedback@cadenza.invalid"
#endif

QString AppInfo::shortVersion() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("—") : version;
}

QUrl AppInfo::feedbackURL() {
    static const QUrl url(QStringLiteral("mailto:") + QStringLiteral(CADENZA_FEEDBACK_ADDRESS));
    return url;
}
