#include "Quire/Views/Sheets/TextTransformSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QButtonGroup>
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
    , m_preview(new PreviewList(this)) {
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
    addSection(tr("Preview"), {m_preview});

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

void TextTransformSheet::refresh() {
    primaryButton()->setEnabled(!m_fields->chosen().isEmpty());
    if (!m_document)
        return;
    const TextTransform transform = selectedTransform();
    const QList<FieldKey> fields = chosenTextFields(m_fields->chosen());
    m_preview->setPreview(*previewPlans(m_document->selectedAudioFiles(), [&](const AudioFile& file) {
        return planTextTransform(file, transform, fields);
    }));
}

void TextTransformSheet::apply() {
    if (!m_document || m_fields->chosen().isEmpty())
        return;
    m_document->tagOperations().applyTextTransform(selectedTransform(), chosenTextFields(m_fields->chosen()));
    accept();
}
