#include "Quire/Views/Sheets/BatchArtworkImportSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SheetParts;

BatchArtworkImportSheet::BatchArtworkImportSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Batch Import Artwork"), tr("Close"), tr("Import"), QSize(420, 240), parent)
    , m_document(document)
    , m_folder(new FolderChoice(tr("Image folder:"), this))
    , m_preview(new PreviewList(this)) {
    setDescription(tr("Select a folder of images. Each image's filename (without extension) is matched to an "
                      "audio file's filename (without extension) to apply artwork."));
    body()->addWidget(m_folder);
    addSection(tr("Preview"), {m_preview});
    const auto refresh = [this] {
        const bool chosen = !m_folder->folder().isEmpty();
        primaryButton()->setEnabled(chosen);
        m_preview->setPreview(chosen && m_document
                                  ? m_document->artworkOperations().batchImportPreview(m_folder->folder())
                                  : BatchPreview());
    };
    connect(m_folder, &FolderChoice::folderChanged, this, refresh);
    connect(m_folder->chooseButton(), &QAbstractButton::clicked, this,
            &BatchArtworkImportSheet::chooseFolder);
    connect(primaryButton(), &QPushButton::clicked, this, &BatchArtworkImportSheet::import);
    refresh();
}

void BatchArtworkImportSheet::chooseFolder() {
    m_folder->openChooser(false, QString());
}

void BatchArtworkImportSheet::import() {
    if (!m_document || m_folder->folder().isEmpty())
        return;
    // The images are read in the background; the sheet shows the outcome when
    // it comes, unless it has been closed by then.
    primaryButton()->setEnabled(false);
    m_document->artworkOperations().batchImportArtwork(
        m_folder->folder(), [sheet = QPointer(this)](int matched) {
            if (!sheet)
                return;
            sheet->primaryButton()->setEnabled(true);
            if (matched < 1)
                sheet->showResult(tr("⚠️ No matching images found. Filenames must match audio filenames "
                                     "(without extension)."),
                                  Tone::warning);
            else
                sheet->showResult(tr("✅ Applied artwork to %n files.", nullptr, matched), Tone::success);
        });
}
