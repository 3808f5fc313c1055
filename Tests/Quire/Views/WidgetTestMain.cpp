#include "Quire/ViewModels/Translations.h"
#include "QuireTagHelper/TagHelper.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need a widget application; they run on the offscreen platform.
int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installTranslations(QLocale(QLocale::English));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
