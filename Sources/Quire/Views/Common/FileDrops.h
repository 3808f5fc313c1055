#pragma once

#include <QList>
#include <QUrl>

class QMimeData;

// The local files and folders carried by a drag (a text/uri-list); anything
// that is not a local file is skipped.
namespace FileDrops {
bool carriesFiles(const QMimeData* mime);
QList<QUrl> fileUrls(const QMimeData* mime);
} // namespace FileDrops
