#pragma once

#include <QObject>
#include <QString>

// The names of the commands (see CommandRegistry). Those that do not run a
// document operation themselves are posted by name and handled by the view
// that owns the matching state: the file list removes files, the main window
// does the rest.
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
inline const QString showLookupSheet = QStringLiteral("showLookupSheet");
inline const QString quit = QStringLiteral("quit");
inline const QString undo = QStringLiteral("undo");
inline const QString redo = QStringLiteral("redo");
inline const QString copyTags = QStringLiteral("copyTags");
inline const QString pasteTags = QStringLiteral("pasteTags");
inline const QString removeFromList = QStringLiteral("removeFromList");
inline const QString showPreferences = QStringLiteral("showPreferences");
inline const QString chooseArtwork = QStringLiteral("chooseArtwork");
inline const QString pasteArtwork = QStringLiteral("pasteArtwork");
inline const QString copyArtwork = QStringLiteral("copyArtwork");
inline const QString exportArtwork = QStringLiteral("exportArtwork");
inline const QString showOptimizeArtworkSheet = QStringLiteral("showOptimizeArtworkSheet");
inline const QString removeArtwork = QStringLiteral("removeArtwork");
inline const QString showAbout = QStringLiteral("showAbout");
inline const QString checkForUpdates = QStringLiteral("checkForUpdates");
inline const QString selectAll = QStringLiteral("selectAll");
inline const QString focusFilter = QStringLiteral("focusFilter");
inline const QString focusNextPane = QStringLiteral("focusNextPane");
inline const QString focusPreviousPane = QStringLiteral("focusPreviousPane");
// One per built-in inspector layout: the prefix and the layout's name.
inline const QString switchLayoutPrefix = QStringLiteral("switchLayout:");
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
