#include "Quire/Views/Sheets/TagsFromPathSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace SheetParts;

TagsFromPathSheet::TagsFromPathSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Tags from Path"), tr("Cancel"), tr("Extract"), QSize(480, 300), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(QStringLiteral("{artist}/{album}"), this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Extract tag values from directory structure using /-separated {field} tokens. "
                      "Applies to %n selected files.",
                      nullptr, int(count)));
    m_pattern->setPlaceholderText(QStringLiteral("{artist}/{album}"));
    m_pattern->setAccessibleName(tr("Path pattern"));
    addSection(
        tr("Path pattern"),
        {m_pattern,
         secondaryLabel(tr("e.g., {artist}/{album} matches …/Pink Floyd/Dark Side/01-Time.flac"), this)});
    const QList<AudioFile> selected = document->selectedAudioFiles();
    if (!selected.isEmpty()) {
        m_preview = monospacedLabel(selected.first().url().toLocalFile(), this);
        m_preview->setWordWrap(true);
        addSection(tr("Preview path"), {m_preview});
    }
    connect(primaryButton(), &QPushButton::clicked, this, &TagsFromPathSheet::extract);
}

QString TagsFromPathSheet::previewText() const {
    return m_preview ? m_preview->text() : QString();
}

void TagsFromPathSheet::extract() {
    if (!m_document)
        return;
    // The sheet offers no choice of fields: the two that folders usually name,
    // and the custom items the pattern names ("{LABEL}/{album}").
    const QList<FieldKey> usual{TagField::artist, TagField::album};
    m_document->tagOperations().tagsFromPath(m_pattern->text(), usual + customFieldsIn(m_pattern->text()));
    accept();
}
