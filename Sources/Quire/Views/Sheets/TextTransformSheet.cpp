#include "Quire/Views/Sheets/TextTransformSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace SheetParts;

TextTransformSheet::TextTransformSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Text Transforms"), tr("Cancel"), tr("Apply"), QSize(480, 420), parent)
    , m_document(document)
    , m_transforms(new QButtonGroup(this))
    , m_fields(new FieldChips(textFieldsAndCustomItems(document->selectedAudioFiles()),
                              {TagField::title, TagField::artist, TagField::album}, this))
    , m_preview(new QWidget(this))
    , m_previewRows(new QGridLayout(m_preview)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Apply a text transform to selected fields across %n files.", nullptr, int(count)));

    QList<QWidget*> choices;
    for (TextTransform transform : allTextTransforms) {
        auto* choice = new QRadioButton(label(transform), this);
        choice->setChecked(transform == TextTransform::titleCase);
        m_transforms->addButton(choice, int(transform));
        choices.append(choice);
    }
    addSection(tr("Transform"), choices);
    body()->addWidget(m_fields);
    m_previewRows->setContentsMargins(0, 0, 0, 0);
    m_previewRows->setColumnMinimumWidth(0, 80);
    m_previewRows->setColumnStretch(1, 1);
    m_previewRows->setColumnStretch(3, 1);
    addSection(tr("Preview (first file)"), {m_preview});

    connect(m_transforms, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            refresh();
    });
    connect(m_fields, &FieldChips::chosenChanged, this, &TextTransformSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &TextTransformSheet::apply);
    refresh();
}

TextTransform TextTransformSheet::selectedTransform() const {
    return static_cast<TextTransform>(m_transforms->checkedId());
}

QStringList TextTransformSheet::previewTexts() const {
    QStringList texts;
    for (const TextTransformPreviewRow& row : m_shownRows)
        texts.append(row.field.name() + QStringLiteral(": ") + row.current + QStringLiteral(" → ") +
                     row.transformed);
    return texts;
}

void TextTransformSheet::refresh() {
    primaryButton()->setEnabled(!m_fields->chosen().isEmpty());
    if (!m_document)
        return;
    const QList<AudioFile> selected = m_document->selectedAudioFiles();
    const QList<TextTransformPreviewRow> rows =
        selected.isEmpty()
            ? QList<TextTransformPreviewRow>()
            : textTransformPreview(selectedTransform(), selected.first().tags(), m_fields->chosen());
    if (rows == m_shownRows && m_previewRows->count() > 0)
        return;
    m_shownRows = rows;
    while (QLayoutItem* item = m_previewRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int row = 0; row < rows.size(); ++row) {
        auto* field = secondaryLabel(rows[row].field.name(), m_preview);
        field->setWordWrap(false);
        field->setFixedWidth(80);
        m_previewRows->addWidget(field, row, 0);
        m_previewRows->addWidget(monospacedLabel(rows[row].current, m_preview), row, 1);
        m_previewRows->addWidget(monospacedLabel(QStringLiteral("→"), m_preview), row, 2);
        m_previewRows->addWidget(monospacedLabel(rows[row].transformed, m_preview), row, 3);
    }
}

void TextTransformSheet::apply() {
    if (!m_document || m_fields->chosen().isEmpty())
        return;
    m_document->tagOperations().applyTextTransform(selectedTransform(), chosenTextFields(m_fields->chosen()));
    accept();
}
