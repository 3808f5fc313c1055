#include "Quire/ViewModels/Translations.h"
#include "QuireTagHelper/TagHelper.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    // Tests never need a display; image plugins and event loops need an application object.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows and the command line under test keep their read cache here, never in the user's.
    const QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    QGuiApplication app(argc, argv);
    // The tests check the English texts, whatever the machine's language.
    installTranslations(QLocale(QLocale::English));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
