#include "Quire/ViewModels/Translations.h"
#include "QuireTagHelper/TagHelper.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widget tests need a widget application; they run on the offscreen platform.
int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The views keep their state in the settings; here, in a folder of their own.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication::setOrganizationName(QStringLiteral("Cadenza"));
    QApplication::setApplicationName(QStringLiteral("Cadenza"));
    installTranslations(QLocale(QLocale::English));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
