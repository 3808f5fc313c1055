#include "Quire/Views/Sheets/TagsFromPathSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace SheetParts;

TagsFromPathSheet::TagsFromPathSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Tags from Path"), tr("Cancel"), tr("Extract"), QSize(480, 340), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(QStringLiteral("{artist}/{album}"), this))
    , m_note(patternNote(this))
    , m_preview(new PreviewList(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Extract tag values from directory structure using /-separated {field} tokens. "
                      "Applies to %n selected files.",
                      nullptr, int(count)));
    m_pattern->setPlaceholderText(QStringLiteral("{artist}/{album}"));
    m_pattern->setAccessibleName(tr("Path pattern"));
    addSection(
        tr("Path pattern"),
        {m_pattern, m_note,
         secondaryLabel(tr("e.g., {artist}/{album} matches …/Pink Floyd/Dark Side/01-Time.flac"), this)});
    addSection(tr("Preview"), {m_preview});
    connect(m_pattern, &QLineEdit::textChanged, this, &TagsFromPathSheet::refresh);
    connect(document, &DocumentViewModel::filesChanged, this, &TagsFromPathSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &TagsFromPathSheet::extract);
    refresh();
}

QString TagsFromPathSheet::patternNoteText() const {
    return m_note->isHidden() ? QString() : m_note->text();
}

// The sheet offers no choice of fields: the two that folders usually name,
// and the custom items the pattern names ("{LABEL}/{album}").
QList<FieldKey> TagsFromPathSheet::filledFields() const {
    return QList<FieldKey>{TagField::artist, TagField::album} + customFieldsIn(m_pattern->text());
}

void TagsFromPathSheet::refresh() {
    if (!m_document)
        return;
    const QList<FieldKey> fields = filledFields();
    showPatternNote(m_note, unfilledTokenNote(m_pattern->text(), fields, true));
    const PathPattern pattern = parsePathPattern(m_pattern->text(), fields);
    m_preview->setPreview(*previewPlans(m_document->selectedAudioFiles(), [&](const AudioFile& file) {
        return planTagsFromPath(file, pattern);
    }));
}

void TagsFromPathSheet::extract() {
    if (!m_document)
        return;
    const BatchReport report = m_document->tagOperations().tagsFromPath(m_pattern->text(), filledFields());
    closeOrListSkipped(report);
}
