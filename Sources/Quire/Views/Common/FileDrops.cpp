#include "Quire/Views/Common/FileDrops.h"

#include <QMimeData>

bool FileDrops::carriesFiles(const QMimeData* mime) {
    return mime && mime->hasUrls();
}

QList<QUrl> FileDrops::fileUrls(const QMimeData* mime) {
    QList<QUrl> urls;
    if (!mime)
        return urls;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            urls.append(url);
    }
    return urls;
}
