#include "Quire/Views/Sheets/RenameFromPatternSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace SheetParts;

RenameFromPatternSheet::RenameFromPatternSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Rename from Pattern"), tr("Cancel"), tr("Rename"), QSize(480, 380), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(QStringLiteral("{track} - {title}"), this))
    , m_preview(new QGridLayout) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Rename %n selected files using tokens. Applies to the actual files on disk.", nullptr,
                      int(count)));
    m_pattern->setPlaceholderText(QStringLiteral("{track} - {title}"));
    m_pattern->setAccessibleName(tr("Pattern"));
    addSection(
        tr("Pattern"),
        {m_pattern, secondaryLabel(tr("Tokens: {title} {artist} {album} {track} {year} {genre} {composer} "
                                      "{albumArtist}"),
                                   this)});

    // Five rows of current name, arrow and new name, filled as the pattern changes.
    auto* preview = new QWidget(this);
    preview->setLayout(m_preview);
    m_preview->setContentsMargins(0, 0, 0, 0);
    m_preview->setHorizontalSpacing(8);
    m_preview->setColumnStretch(0, 1);
    m_preview->setColumnStretch(2, 1);
    for (int row = 0; row < int(renamePreviewLimit); ++row) {
        m_preview->addWidget(monospacedLabel(QString(), preview), row, 0);
        m_preview->addWidget(monospacedLabel(QStringLiteral("→"), preview), row, 1);
        m_preview->addWidget(monospacedLabel(QString(), preview), row, 2);
    }
    addSection(tr("Preview (first 5)"), {preview});

    connect(m_pattern, &QLineEdit::textChanged, this, &RenameFromPatternSheet::refresh);
    connect(document, &DocumentViewModel::filesChanged, this, &RenameFromPatternSheet::refresh);
    connect(document, &DocumentViewModel::selectedFilesChanged, this, &RenameFromPatternSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &RenameFromPatternSheet::rename);
    refresh();
}

QStringList RenameFromPatternSheet::previewTexts() const {
    QStringList texts;
    for (int row = 0; row < m_preview->rowCount(); ++row) {
        auto* current = static_cast<QLabel*>(m_preview->itemAtPosition(row, 0)->widget());
        auto* renamed = static_cast<QLabel*>(m_preview->itemAtPosition(row, 2)->widget());
        if (!current->isHidden())
            texts.append(current->text() + QStringLiteral(" → ") + renamed->text());
    }
    return texts;
}

void RenameFromPatternSheet::refresh() {
    if (!m_document)
        return;
    primaryButton()->setEnabled(!m_pattern->text().isEmpty());
    const QList<RenamePreviewRow> rows = renamePreview(m_document->selectedAudioFiles(), m_pattern->text());
    for (int row = 0; row < m_preview->rowCount(); ++row) {
        const bool shown = row < rows.size();
        for (int column = 0; column < 3; ++column) {
            auto* label = static_cast<QLabel*>(m_preview->itemAtPosition(row, column)->widget());
            label->setVisible(shown);
            if (shown && column != 1)
                label->setText(column == 0 ? rows[row].currentName : rows[row].newName);
        }
    }
}

void RenameFromPatternSheet::rename() {
    if (!m_document || m_pattern->text().isEmpty())
        return;
    // The files move in the background; the result shows when they are done.
    const auto done = [sheet = QPointer(this)](const PatternRenameReport& report) {
        if (!sheet)
            return;
        const int renamed = report.movedCount();
        sheet->showResult(tr("✅ Renamed %n files.", nullptr, renamed), Tone::success);
    };
    if (!m_document->renameFromPattern(m_pattern->text(), done))
        done({});
}
