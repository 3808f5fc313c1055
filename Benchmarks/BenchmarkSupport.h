#pragma once

#include "Quire/ViewModels/DocumentViewModel.h"
#include "QuireCore/TagWorker.h"

#include <QEventLoop>
#include <QTimer>

// The start of every benchmark's main(), before its application object: serve
// as a tag helper when started as one, and draw offscreen unless told otherwise.
inline void startBenchmark(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Imports a folder into the document and runs the event loop until the import
// has ended or `timeoutMs` has passed; whether it ended.
inline bool importAndWait(DocumentViewModel& document, const QString& folder, int timeoutMs) {
    QEventLoop loop;
    QObject::connect(&document, &DocumentViewModel::isLoadingChanged, &loop, [&] {
        if (!document.isLoading())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    document.importFiles({QUrl::fromLocalFile(folder)});
    if (document.isLoading())
        loop.exec();
    return !document.isLoading();
}
