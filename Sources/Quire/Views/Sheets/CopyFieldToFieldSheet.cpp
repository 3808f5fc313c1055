#include "Quire/Views/Sheets/CopyFieldToFieldSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SheetParts;

namespace {
// The fields, then the selection's custom items; each item's data is the key's name.
QComboBox* fieldChoice(const QStringList& customNames, TagField initial, const QString& name,
                       QWidget* parent) {
    auto* choice = new QComboBox(parent);
    for (TagField field : allTagFields)
        choice->addItem(displayName(field), FieldKey(field).name());
    for (const QString& custom : customNames)
        choice->addItem(custom, FieldKey::custom(custom).name());
    choice->setCurrentIndex(choice->findData(FieldKey(initial).name()));
    choice->setAccessibleName(name);
    return choice;
}

QStringList selectionCustomNames(const DocumentViewModel* document) {
    QList<TagSet> sets;
    for (const AudioFile& file : document->selectedAudioFiles())
        sets.append(file.tags());
    return TagSet::customNames(sets);
}
} // namespace

CopyFieldToFieldSheet::CopyFieldToFieldSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Copy Field to Field"), tr("Cancel"), tr("Copy"), QSize(400, 240), parent)
    , m_document(document)
    , m_source(fieldChoice(selectionCustomNames(document), TagField::title, tr("From"), this))
    , m_target(fieldChoice(selectionCustomNames(document), TagField::albumArtist, tr("To"), this))
    , m_preview(new PreviewList(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(
        tr("Copy the value of one tag field to another across all %n selected files.", nullptr, int(count)));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("From"), this));
    row->addWidget(m_source, 1);
    row->addWidget(new QLabel(QStringLiteral("→"), this));
    row->addWidget(new QLabel(tr("To"), this));
    row->addWidget(m_target, 1);
    body()->addLayout(row);
    addSection(tr("Preview"), {m_preview});

    connect(m_source, &QComboBox::currentIndexChanged, this, &CopyFieldToFieldSheet::refresh);
    connect(m_target, &QComboBox::currentIndexChanged, this, &CopyFieldToFieldSheet::refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &CopyFieldToFieldSheet::copy);
    refresh();
}

std::optional<FieldKey> CopyFieldToFieldSheet::chosen(const QComboBox* choice) const {
    return FieldKey::fromName(choice->currentData().toString());
}

void CopyFieldToFieldSheet::refresh() {
    const std::optional<FieldKey> source = chosen(m_source);
    const std::optional<FieldKey> target = chosen(m_target);
    const bool distinct = source && target && *source != *target;
    primaryButton()->setEnabled(distinct);
    m_preview->setVisible(distinct);
    if (!m_document || !distinct)
        return;
    m_preview->setPreview(*previewPlans(m_document->selectedAudioFiles(), [&](const AudioFile& file) {
        return planCopyField(file, *source, *target);
    }));
}

void CopyFieldToFieldSheet::copy() {
    const std::optional<FieldKey> source = chosen(m_source);
    const std::optional<FieldKey> target = chosen(m_target);
    if (!m_document || !source || !target || *source == *target)
        return;
    m_document->tagOperations().copyFieldToField(*source, *target);
    accept();
}
