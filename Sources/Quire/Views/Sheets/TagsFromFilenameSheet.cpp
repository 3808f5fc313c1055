#include "Quire/Views/Sheets/TagsFromFilenameSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/Preferences.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

using namespace SheetParts;

TagsFromFilenameSheet::TagsFromFilenameSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Tags from Filename"), tr("Cancel"), tr("Extract"), QSize(480, 360), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(Preferences::tagsFromFilenamePreset(QSettings()), this))
    , m_note(patternNote(this))
    , m_fields(new FieldChips(QList<FieldKey>(allTagFields.begin(), allTagFields.end()),
                              {TagField::title, TagField::trackNumber}, this))
    , m_preview(new PreviewList(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Extract tag values from filenames using {field} tokens. Applies to %n selected files.",
                      nullptr, int(count)));
    m_pattern->setPlaceholderText(Preferences::defaultTagsFromFilenamePattern);
    m_pattern->setAccessibleName(tr("Pattern"));
    addSection(tr("Pattern"), {m_pattern, m_note});
    addSection(tr("Fields to extract"), {m_fields});
    addSection(tr("Preview"), {m_preview});

    connect(m_fields, &FieldChips::chosenChanged, this, &TagsFromFilenameSheet::refresh);
    connect(m_pattern, &QLineEdit::textChanged, this, &TagsFromFilenameSheet::refresh);
    connect(document, &DocumentViewModel::filesChanged, this, &TagsFromFilenameSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &TagsFromFilenameSheet::extract);
    refresh();
}

QString TagsFromFilenameSheet::patternNoteText() const {
    return m_note->isHidden() ? QString() : m_note->text();
}

QList<FieldKey> TagsFromFilenameSheet::chosenFields() const {
    QList<FieldKey> fields;
    for (TagField field : allTagFields)
        if (m_fields->chosen().contains(field))
            fields.append(field);
    return fields + customFieldsIn(m_pattern->text());
}

void TagsFromFilenameSheet::refresh() {
    primaryButton()->setEnabled(!m_fields->chosen().isEmpty());
    if (!m_document)
        return;
    const QList<FieldKey> fields = chosenFields();
    showPatternNote(m_note, unfilledTokenNote(m_pattern->text(), fields, false));
    const std::optional<PatternExpression> expression = patternToRegex(m_pattern->text(), fields);
    if (!expression)
        return;
    m_preview->setPreview(*previewPlans(m_document->selectedAudioFiles(), [&](const AudioFile& file) {
        return planTagsFromName(file, *expression);
    }));
}

void TagsFromFilenameSheet::extract() {
    if (!m_document || m_fields->chosen().isEmpty())
        return;
    const BatchReport report =
        m_document->tagOperations().tagsFromFilename(m_pattern->text(), chosenFields());
    closeOrListSkipped(report);
}
