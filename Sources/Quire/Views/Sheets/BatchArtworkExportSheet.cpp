#include "Quire/Views/Sheets/BatchArtworkExportSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SheetParts;

BatchArtworkExportSheet::BatchArtworkExportSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Export All Artwork"), tr("Close"), tr("Export"), QSize(420, 240), parent)
    , m_document(document)
    , m_folder(new FolderChoice(tr("Destination folder:"), this)) {
    const int shown = int(document->shownCount());
    const qsizetype withArtwork = document->filesWithArtworkCount();
    setDescription(
        (document->isFiltering()
             ? tr("Export embedded artwork from all %n shown files to a folder.", nullptr, shown)
             : tr("Export embedded artwork from all %n loaded files to a folder.", nullptr, shown)) +
        u' ' + tr("%n files have artwork.", nullptr, int(withArtwork)));
    body()->addWidget(m_folder);
    const auto refresh = [this] { primaryButton()->setEnabled(!m_folder->folder().isEmpty()); };
    connect(m_folder, &FolderChoice::folderChanged, this, refresh);
    connect(m_folder->chooseButton(), &QAbstractButton::clicked, this,
            &BatchArtworkExportSheet::chooseFolder);
    connect(primaryButton(), &QPushButton::clicked, this, &BatchArtworkExportSheet::exportAll);
    refresh();
}

void BatchArtworkExportSheet::chooseFolder() {
    m_folder->openChooser(true, tr("Export"));
}

void BatchArtworkExportSheet::exportAll() {
    if (!m_document || m_folder->folder().isEmpty())
        return;
    // The pictures are written in the background; the sheet shows the outcome
    // when it comes, unless it has been closed by then.
    primaryButton()->setEnabled(false);
    m_document->artworkOperations().batchExportAllArtwork(
        m_folder->folder(), [sheet = QPointer(this)](int exported) {
            if (!sheet)
                return;
            sheet->primaryButton()->setEnabled(true);
            if (exported < 1)
                sheet->showResult(tr("⚠️ No artwork found in loaded files."), Tone::warning);
            else
                sheet->showResult(tr("✅ Exported %n artwork images.", nullptr, exported), Tone::success);
        });
}
