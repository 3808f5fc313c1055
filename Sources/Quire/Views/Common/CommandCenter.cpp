#include "Quire/Views/Common/CommandCenter.h"

QStringList Commands::all() {
    return {openFiles,
            saveAllChanges,
            toggleInspector,
            showCommandPalette,
            showBatchArtworkImport,
            showBatchArtworkExport,
            showFindReplaceSheet,
            showCopyFieldSheet,
            showRenameSheet,
            showNumberingSheet,
            showTagsFromFilenameSheet,
            showTagsFromPathSheet,
            showTextTransformSheet};
}
