#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;

// Gives every loaded file whose name matches an image in a chosen folder that
// image as its only picture. Once a folder is chosen it shows which image each
// file will get; it stays open and reports how many files matched.
class BatchArtworkImportSheet : public Sheet {
    Q_OBJECT
public:
    BatchArtworkImportSheet(DocumentViewModel* document, QWidget* parent);
    FolderChoice* folderChoice() const { return m_folder; }
    PreviewList* preview() const { return m_preview; }

private:
    void chooseFolder();
    void import();

    QPointer<DocumentViewModel> m_document;
    FolderChoice* m_folder;
    PreviewList* m_preview;
};
