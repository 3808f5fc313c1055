#include "QuireCore/TagWorker.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Cadenza"));
    QApplication::setApplicationName(QStringLiteral("Cadenza"));
    QApplication::setApplicationVersion(QStringLiteral(CADENZA_VERSION));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Cadenza"));
    auto* placeholder = new QLabel(QObject::tr("Drop audio files or folders here"));
    placeholder->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(placeholder);
    window.resize(1100, 700);
    window.show();
    return app.exec();
}
