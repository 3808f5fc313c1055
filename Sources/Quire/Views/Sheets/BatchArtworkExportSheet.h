#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;

// Writes every picture of every loaded file into a chosen folder. It stays
// open and reports how many images it wrote.
class BatchArtworkExportSheet : public Sheet {
    Q_OBJECT
public:
    BatchArtworkExportSheet(DocumentViewModel* document, QWidget* parent);
    FolderChoice* folderChoice() const { return m_folder; }

private:
    void chooseFolder();
    void exportAll();

    QPointer<DocumentViewModel> m_document;
    FolderChoice* m_folder;
};
