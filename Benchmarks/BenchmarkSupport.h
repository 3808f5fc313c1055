#pragma once

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QEventLoop>
#include <QTimer>

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
