#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The names of the commands that menus and the command palette post. Each is
// handled by the view that owns the matching state: the first six by the main
// window, the others by the file list.
namespace Commands {
inline const QString openFiles = QStringLiteral("openFiles");
inline const QString saveAllChanges = QStringLiteral("saveAllChanges");
inline const QString toggleInspector = QStringLiteral("toggleInspector");
inline const QString showCommandPalette = QStringLiteral("showCommandPalette");
inline const QString showBatchArtworkImport = QStringLiteral("showBatchArtworkImport");
inline const QString showBatchArtworkExport = QStringLiteral("showBatchArtworkExport");
inline const QString showFindReplaceSheet = QStringLiteral("showFindReplaceSheet");
inline const QString showCopyFieldSheet = QStringLiteral("showCopyFieldSheet");
inline const QString showRenameSheet = QStringLiteral("showRenameSheet");
inline const QString showNumberingSheet = QStringLiteral("showNumberingSheet");
inline const QString showTagsFromFilenameSheet = QStringLiteral("showTagsFromFilenameSheet");
inline const QString showTagsFromPathSheet = QStringLiteral("showTagsFromPathSheet");
inline const QString showTextTransformSheet = QStringLiteral("showTextTransformSheet");

QStringList all();
} // namespace Commands

// The process's one broadcast of named commands, without payload. Every
// observer connected to `posted` sees every post, synchronously.
class CommandCenter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void post(const QString& name) { emit posted(name); }

signals:
    void posted(const QString& name);
};
