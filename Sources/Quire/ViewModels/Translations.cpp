#include "Quire/ViewModels/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {

// Where the build puts the compiled translations (Sources/Quire/Translations).
constexpr auto folder = ":/i18n";

} // namespace

void installTranslations(const QLocale& locale) {
    QCoreApplication* application = QCoreApplication::instance();
    Q_ASSERT(application);
    auto* english = new QTranslator(application);
    if (english->load(QStringLiteral("cadenza_en"), QString::fromLatin1(folder)))
        QCoreApplication::installTranslator(english);
    else
        qWarning("The English translation is missing from the program's resources");
    auto* local = new QTranslator(application);
    if (local->load(locale, QStringLiteral("cadenza"), QStringLiteral("_"), QString::fromLatin1(folder)) &&
        local->filePath() != english->filePath())
        QCoreApplication::installTranslator(local);
    else
        delete local;
}
