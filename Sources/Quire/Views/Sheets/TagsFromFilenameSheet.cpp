#include "Quire/Views/Sheets/TagsFromFilenameSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace SheetParts;

TagsFromFilenameSheet::TagsFromFilenameSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Tags from Filename"), tr("Cancel"), tr("Extract"), QSize(480, 320), parent)
    , m_document(document)
    , m_pattern(new QLineEdit(QStringLiteral("{trackNumber} - {title}"), this))
    , m_fields(new FieldChips(QList<FieldKey>(allTagFields.begin(), allTagFields.end()),
                              {TagField::title, TagField::trackNumber}, this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Extract tag values from filenames using {field} tokens. Applies to %n selected files.",
                      nullptr, int(count)));
    m_pattern->setPlaceholderText(QStringLiteral("{trackNumber} - {title}"));
    m_pattern->setAccessibleName(tr("Pattern"));
    addSection(tr("Pattern"), {m_pattern});
    addSection(tr("Fields to extract"), {m_fields});
    const QList<AudioFile> selected = document->selectedAudioFiles();
    if (!selected.isEmpty()) {
        m_preview = monospacedLabel(selected.first().filenameWithoutExtension(), this);
        addSection(tr("Preview"), {m_preview});
    }

    const auto refresh = [this] { primaryButton()->setEnabled(!m_fields->chosen().isEmpty()); };
    connect(m_fields, &FieldChips::chosenChanged, this, refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &TagsFromFilenameSheet::extract);
    refresh();
}

QString TagsFromFilenameSheet::previewText() const {
    return m_preview ? m_preview->text() : QString();
}

void TagsFromFilenameSheet::extract() {
    if (!m_document || m_fields->chosen().isEmpty())
        return;
    QList<FieldKey> fields;
    for (TagField field : allTagFields)
        if (m_fields->chosen().contains(field))
            fields.append(field);
    m_document->tagOperations().tagsFromFilename(m_pattern->text(),
                                                 fields + customFieldsIn(m_pattern->text()));
    accept();
}
