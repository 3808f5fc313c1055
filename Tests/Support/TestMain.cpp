#include "Quire/ViewModels/Translations.h"
#include "QuireTagHelper/TagHelper.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    // Tests never need a display; image plugins and event loops need an application object.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The tests check the English texts, whatever the machine's language.
    installTranslations(QLocale(QLocale::English));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
