#include "Quire/Views/Sheets/Sheets.h"

#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Sheets/BatchArtworkExportSheet.h"
#include "Quire/Views/Sheets/BatchArtworkImportSheet.h"
#include "Quire/Views/Sheets/CopyFieldToFieldSheet.h"
#include "Quire/Views/Sheets/FindReplaceSheet.h"
#include "Quire/Views/Sheets/LookupSheet.h"
#include "Quire/Views/Sheets/RenameFromPatternSheet.h"
#include "Quire/Views/Sheets/TagsFromFilenameSheet.h"
#include "Quire/Views/Sheets/TagsFromPathSheet.h"
#include "Quire/Views/Sheets/TextTransformSheet.h"
#include "Quire/Views/Sheets/TrackNumberingSheet.h"

Sheet* Sheets::create(const QString& command, DocumentViewModel* document, QWidget* parent) {
    if (command == Commands::showRenameSheet)
        return new RenameFromPatternSheet(document, parent);
    if (command == Commands::showTagsFromFilenameSheet)
        return new TagsFromFilenameSheet(document, parent);
    if (command == Commands::showTagsFromPathSheet)
        return new TagsFromPathSheet(document, parent);
    if (command == Commands::showNumberingSheet)
        return new TrackNumberingSheet(document, parent);
    if (command == Commands::showFindReplaceSheet)
        return new FindReplaceSheet(document, parent);
    if (command == Commands::showTextTransformSheet)
        return new TextTransformSheet(document, parent);
    if (command == Commands::showCopyFieldSheet)
        return new CopyFieldToFieldSheet(document, parent);
    if (command == Commands::showBatchArtworkImport)
        return new BatchArtworkImportSheet(document, parent);
    if (command == Commands::showLookupSheet)
        return new LookupSheet(document, parent);
    if (command == Commands::showBatchArtworkExport)
        return new BatchArtworkExportSheet(document, parent);
    return nullptr;
}
