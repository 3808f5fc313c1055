#include "Quire/Views/Sheets/RenameFromPatternSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/Preferences.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>

using namespace SheetParts;

RenameFromPatternSheet::RenameFromPatternSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Rename from Pattern"), tr("Cancel"), tr("Rename"), QSize(520, 400), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(Preferences::renamePatternPreset(QSettings()), this))
    , m_note(patternNote(this))
    , m_preview(new PreviewList(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Rename %n selected files using tokens. Applies to the actual files on disk.", nullptr,
                      int(count)));
    m_pattern->setPlaceholderText(Preferences::defaultRenamePattern);
    m_pattern->setAccessibleName(tr("Pattern"));
    addSection(tr("Pattern"),
               {m_pattern, m_note,
                secondaryLabel(tr("Tokens: {title} {artist} {album} {track} {year} {genre} {composer} "
                                  "{albumArtist}"),
                               this)});
    addSection(tr("Preview"), {m_preview});

    connect(m_pattern, &QLineEdit::textChanged, this, &RenameFromPatternSheet::refresh);
    connect(document, &DocumentViewModel::filesChanged, this, &RenameFromPatternSheet::refresh);
    connect(document, &DocumentViewModel::selectedFilesChanged, this, &RenameFromPatternSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &RenameFromPatternSheet::rename);
    refresh();
}

QString RenameFromPatternSheet::patternNoteText() const {
    return m_note->isHidden() ? QString() : m_note->text();
}

void RenameFromPatternSheet::refresh() {
    if (!m_document)
        return;
    const QString pattern = m_pattern->text();
    primaryButton()->setEnabled(!pattern.isEmpty());
    const std::optional<QString> unknown = unknownPlaceholder(pattern, renamePlaceholders());
    showPatternNote(m_note, unknown
                                ? tr("%1 is no rename token: it stays in the names as written.").arg(*unknown)
                                : QString());
    m_preview->setPreview(previewPatternRename(m_document->selectedAudioFiles(), pattern));
}

void RenameFromPatternSheet::rename() {
    if (!m_document || m_pattern->text().isEmpty())
        return;
    // The files move in the background; the result shows when they are done.
    const auto done = [sheet = QPointer(this)](const PatternRenameReport& report) {
        if (!sheet)
            return;
        const int renamed = report.movedCount();
        const QStringList skipped = report.skippedLines();
        if (skipped.isEmpty())
            sheet->showResult(tr("✅ Renamed %n files.", nullptr, renamed), Tone::success);
        else
            sheet->showResult(tr("⚠️ Renamed %1 of %n files; these were left as they were:", nullptr,
                                 int(report.files.size()))
                                  .arg(renamed),
                              Tone::warning, skipped);
    };
    if (!m_document->renameFromPattern(m_pattern->text(), done))
        done({});
}
